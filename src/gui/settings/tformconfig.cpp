#include "tformconfig.h"

#include "fileerror.h"
#include "namerules.h"
#include "presence.h"
#include "profilefile.h"
#include "prompter.h"
#include "settingkeys.h"
#include "soundfilecopy.h"
#include "station.h"
#include "tformcomtools.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace
{
// The radio buttons of the initial status, in their order on the page, and their codes.
struct StatusChoice
{
    const char* caption;
    Presence status;
};
constexpr StatusChoice StatusChoices[] = {
    { "normal", Presence::Online },
    { "ocupado", Presence::Busy },
    { "invisível", Presence::Invisible },
    { "ausente", Presence::Away },
    { "não conectar", Presence::Offline },
};

// The keys the dialog shows besides channel, user and status, in the order they are read and
// written, with the name of the control that shows each.
struct BoundKey
{
    SettingKeyName key;
    const char* control;
};
constexpr BoundKey BoundKeys[] = {
    { SettingKeys::Setup::ExibirJanela, "ChBoxExibirJanela" },
    { SettingKeys::Setup::MudarStatusScrSaver, "ChBoxMudarStatusScrSaver" },
    { SettingKeys::Setup::ManterGruposAbertos, "ChBoxManterGruposAbertos" },
    { SettingKeys::Setup::QtdeMaxRegsArqHist, "EdMaxRegsArqHist" },
    { SettingKeys::Setup::QtdeMaxRegsJanHist, "EdMaxRegsJanHist" },
    { SettingKeys::Setup::ExibirLinDivisoria, "ChBoxLinDivisoria" },
    { SettingKeys::Setup::ExibirMsgSistema, "ChBoxMsgSistema" },
    { SettingKeys::Setup::FecharJanela, "ChBoxFecharJanela" },
    { SettingKeys::Receber::ExibirMsg, "ChBoxExibirMsgReceber" },
    { SettingKeys::Enviar::ExibirMsg, "ChBoxExibirMsgEnviar" },
    { SettingKeys::Receber::AnimarIcone, "ChBoxAnimarIcone" },
    { SettingKeys::Receber::EmitirSom, "ChBoxEmitirSomReceber" },
    { SettingKeys::Enviar::EmitirSom, "ChBoxEmitirSomEnviar" },
    { SettingKeys::Receber::ArqEmitirSom, "EdSomReceber" },
    { SettingKeys::Enviar::ArqEmitirSom, "EdSomEnviar" },
    { SettingKeys::Enviar::ConfirmarEntrega, "ChBoxConfirmarEntrega" },
    { SettingKeys::Backup::AutoBackup, "ChBoxAutoBackup" },
    { SettingKeys::Backup::AutoBackupCada, "EdAutoBackupCada" },
    { SettingKeys::Backup::AutoBackupTroca, "ChBoxAutoBackupTroca" },
};

constexpr int MaxChannelLength = 8;
constexpr int MaxHistoryRecords = 9999;

// Typed letters a to z become capitals, as channel names are written everywhere else.
class CapitalLettersValidator final : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*pos*/) const override
    {
        input = NameRules::typedCapitals(input);
        return Acceptable;
    }
};

// Typing into the channel box stops at 8 characters. Only typing: a maximum length of the
// field would also cut a longer channel the dialog puts in (stored, or picked from the list),
// and the next save would store the cut name. Such a channel is kept whole; the logon judges it.
class ChannelTypingLimit final : public QObject
{
public:
    explicit ChannelTypingLimit(QLineEdit* edit)
        : QObject(edit)
        , m_edit(edit)
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_edit || event->type() != QEvent::KeyPress)
            return false;
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.isEmpty() || !typed.front().isPrint())
            return false;
        const qsizetype after = m_edit->text().size() - m_edit->selectedText().size() + typed.size();
        return after > MaxChannelLength;
    }

private:
    QLineEdit* m_edit = nullptr;
};

// A check box whose caption leaves a gap of blanks for a number box sitting in it.
class GapCheckBox final : public QCheckBox
{
public:
    static constexpr int Gap = 20;

    GapCheckBox(const QString& text, int gapStart, QWidget* inGap, QWidget* parent)
        : QCheckBox(text, parent)
        , m_gapStart(gapStart)
        , m_inGap(inGap)
    {
        m_inGap->setParent(this);
    }

    QSize sizeHint() const override
    {
        const QSize own = QCheckBox::sizeHint();
        return { own.width(), qMax(own.height(), m_inGap->sizeHint().height()) };
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QCheckBox::resizeEvent(event);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
        const int x = contents.x() + fontMetrics().horizontalAdvance(text().left(m_gapStart));
        const int gapWidth = fontMetrics().horizontalAdvance(text().mid(m_gapStart, Gap));
        const int height = m_inGap->sizeHint().height();
        // The box fits the gap, not the widest number it could hold, so the caption stays readable.
        m_inGap->setGeometry(x + 2, (this->height() - height) / 2, qMax(gapWidth - 4, 40), height);
    }

private:
    int m_gapStart = 0;
    QWidget* m_inGap = nullptr;
};

QIcon tickIcon()
{
    QPixmap tick(12, 12);
    tick.fill(Qt::transparent);
    QPainter painter(&tick);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2));
    QPainterPath path;
    path.moveTo(2, 6);
    path.lineTo(5, 9);
    path.lineTo(10, 3);
    painter.drawPath(path);
    painter.end();
    QPixmap empty(12, 12);
    empty.fill(Qt::transparent);
    QIcon icon;
    icon.addPixmap(tick, QIcon::Normal, QIcon::On);
    icon.addPixmap(empty, QIcon::Normal, QIcon::Off);
    return icon;
}

QToolButton* ellipsisButton(const QString& name, const QString& hint, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(QStringLiteral("..."));
    button->setToolTip(hint);
    return button;
}

QCheckBox* checkBox(const char* name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QSpinBox* numberBox(const char* name, int minimum, int maximum, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    return box;
}

QLineEdit* readOnlyText(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    return edit;
}

QLabel* warningIcon(const char* name, QWidget* parent)
{
    auto* icon = new QLabel(parent);
    icon->setObjectName(QLatin1String(name));
    const int size = parent->style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setToolTip(TFormConfig::tr("Ocorreu um problema ao tentar copiar arquivo de som!"));
    icon->hide();
    return icon;
}

// Fills a drop-down list with `names` in the station's order, keeping the text its edit field
// shows and selecting nothing.
void fillList(QComboBox* box, QStringList names, const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    const QString text = box->currentText();
    box->clear();
    box->addItems(names);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

// "ẽ" (U+1EBD), or the code alone for a character that shows nothing, as a line break.
QString describeCharacter(const QString& character)
{
    const char32_t code
        = character.size() == 2 ? QChar::surrogateToUcs4(character[0], character[1]) : char32_t(character[0].unicode());
    const QString number = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (!QChar::isPrint(code))
        return number;
    return QStringLiteral("\"%1\" (%2)").arg(character, number);
}

SettingValue controlValue(const QWidget* control)
{
    if (const auto* box = qobject_cast<const QCheckBox*>(control))
        return box->isChecked();
    if (const auto* number = qobject_cast<const QSpinBox*>(control))
        return number->value();
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    return {};
}
} // namespace

TFormConfig::TFormConfig(Station& station, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_station(station)
{
    setWindowTitle(tr("Configurações"));

    m_pageControl = new QTabWidget(this);
    m_pageControl->setObjectName(QStringLiteral("PageControl"));
    auto* principal = new QWidget(m_pageControl);
    buildPagePrincipal(principal);
    m_pageControl->addTab(principal, tr("Principal"));
    auto* gerais = new QWidget(m_pageControl);
    buildPageGerais(gerais);
    m_pageControl->addTab(gerais, tr("Gerais"));

    m_butOk = new QPushButton(tr("&Ok"), this);
    m_butCancelar = new QPushButton(tr("&Cancelar"), this);
    m_butAplicar = new QPushButton(tr("&Aplicar"), this);
    m_butOk->setObjectName(QStringLiteral("ButOk"));
    m_butCancelar->setObjectName(QStringLiteral("ButCancelar"));
    m_butAplicar->setObjectName(QStringLiteral("ButAplicar"));
    connect(m_butOk, &QPushButton::clicked, this, &TFormConfig::ButOkClick);
    connect(m_butCancelar, &QPushButton::clicked, this, &TFormConfig::ButCancelarClick);
    connect(m_butAplicar, &QPushButton::clicked, this, &TFormConfig::ButAplicarClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_butOk);
    buttons->addWidget(m_butCancelar);
    buttons->addWidget(m_butAplicar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pageControl);
    layout->addLayout(buttons);

    for (const BoundKey& entry : BoundKeys) {
        QWidget* control = findChild<QWidget*>(QLatin1String(entry.control));
        Binding binding { &SettingKeys::entry(entry.key), control, std::nullopt };
        Q_ASSERT(control);
        // Without a settings file the communicator is not shown after logon.
        if (binding.key == &SettingKeys::entry(SettingKeys::Setup::ExibirJanela))
            binding.fallback = Preferences::ShowCommunicatorWithoutFile;
        m_bindings.append(binding);
    }

    setFixedSize(sizeHint().expandedTo(QSize(441, 425)));
}

TFormConfig::~TFormConfig() = default;

void TFormConfig::buildPagePrincipal(QWidget* page)
{
    auto* sistema = new QGroupBox(tr(" Sistema "), page);
    m_comboCanal = new QComboBox(sistema);
    m_comboCanal->setObjectName(QStringLiteral("ComboCanal"));
    m_comboCanal->setEditable(true);
    m_comboCanal->setInsertPolicy(QComboBox::NoInsert);
    m_comboCanal->lineEdit()->setValidator(new CapitalLettersValidator(m_comboCanal));
    new ChannelTypingLimit(m_comboCanal->lineEdit());
    m_sButCanal = ellipsisButton(QStringLiteral("SButCanal"), tr("Adicionar canal"), sistema);
    connect(m_sButCanal, &QToolButton::clicked, this, &TFormConfig::SButCanalClick);
    auto* canalRow = new QHBoxLayout;
    canalRow->addWidget(new QLabel(tr("Canal de Comunicação"), sistema));
    canalRow->addWidget(m_comboCanal, 1);
    canalRow->addWidget(m_sButCanal);
    auto* sistemaLayout = new QVBoxLayout(sistema);
    sistemaLayout->addLayout(canalRow);
    sistemaLayout->addWidget(checkBox("ChBoxExibirJanela", tr("Exibir janela principal ao conectar-se"), sistema));
    sistemaLayout->addWidget(checkBox("ChBoxFecharJanela", tr("Fechar janela principal ao desconectar-se"), sistema));
    sistemaLayout->addWidget(
        checkBox("ChBoxMudarStatusScrSaver", tr("Mudar para ausente quando protetor de tela for acionado"), sistema));
    sistemaLayout->addWidget(checkBox("ChBoxManterGruposAbertos", tr("Manter grupos de usuários abertos"), sistema));

    auto* mensagens = new QGroupBox(tr(" Recepção / Envio de Mensagens "), page);
    m_chBoxEmitirSomReceber = checkBox("ChBoxEmitirSomReceber", tr("Emitir som ao receber mensagem"), mensagens);
    m_chBoxEmitirSomEnviar = checkBox("ChBoxEmitirSomEnviar", tr("Emitir som ao enviar mensagem"), mensagens);
    m_edSomReceber = readOnlyText("EdSomReceber", mensagens);
    m_edSomEnviar = readOnlyText("EdSomEnviar", mensagens);
    m_imgAvisoReceber = warningIcon("ImgAvisoReceber", mensagens);
    m_imgAvisoEnviar = warningIcon("ImgAvisoEnviar", mensagens);
    auto* sButReceber = ellipsisButton(QStringLiteral("SButReceber"), QString(), mensagens);
    auto* sButEnviar = ellipsisButton(QStringLiteral("SButEnviar"), QString(), mensagens);
    connect(sButReceber, &QToolButton::clicked, this, [this] { CopiarArquivo(Lado::Receber); });
    connect(sButEnviar, &QToolButton::clicked, this, [this] { CopiarArquivo(Lado::Enviar); });
    const auto soundRow = [](QLineEdit* edit, QToolButton* button, QLabel* warning) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(20, 0, 0, 0);
        row->addWidget(edit, 1);
        row->addWidget(button);
        row->addWidget(warning);
        return row;
    };
    auto* mensagensLayout = new QVBoxLayout(mensagens);
    mensagensLayout->addWidget(
        checkBox("ChBoxExibirMsgReceber", tr("Exibir janela automaticamente ao receber mensagem "), mensagens));
    mensagensLayout->addWidget(
        checkBox("ChBoxExibirMsgEnviar", tr("Exibir janela automaticamente ao enviar mensagem"), mensagens));
    mensagensLayout->addWidget(
        checkBox("ChBoxAnimarIcone", tr("Alterar ícone na barra de tarefas ao receber mensagem"), mensagens));
    mensagensLayout->addWidget(m_chBoxEmitirSomReceber);
    mensagensLayout->addLayout(soundRow(m_edSomReceber, sButReceber, m_imgAvisoReceber));
    mensagensLayout->addWidget(m_chBoxEmitirSomEnviar);
    mensagensLayout->addLayout(soundRow(m_edSomEnviar, sButEnviar, m_imgAvisoEnviar));

    auto* visualizacao = new QGroupBox(tr(" Visualização de Mensagens "), page);
    auto* visualizacaoLayout = new QVBoxLayout(visualizacao);
    visualizacaoLayout->addWidget(
        checkBox("ChBoxLinDivisoria", tr("Exibir linha divisória entre as mensagens"), visualizacao));
    visualizacaoLayout->addWidget(checkBox("ChBoxMsgSistema", tr("Visualizar mensagens do sistema"), visualizacao));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sistema);
    layout->addWidget(mensagens);
    layout->addWidget(visualizacao);
    layout->addStretch();
}

void TFormConfig::buildPageGerais(QWidget* page)
{
    auto* usuario = new QGroupBox(tr(" Usuário default "), page);
    m_sbDefaultUser = new QToolButton(usuario);
    m_sbDefaultUser->setObjectName(QStringLiteral("SBDefaultUser"));
    m_sbDefaultUser->setCheckable(true);
    m_sbDefaultUser->setIcon(tickIcon());
    connect(m_sbDefaultUser, &QToolButton::clicked, this, &TFormConfig::SBDefaultUserClick);
    auto* toggleRow = new QHBoxLayout;
    toggleRow->addWidget(m_sbDefaultUser);
    toggleRow->addWidget(new QLabel(tr("Definir usuário padrão"), usuario), 1);

    // The list's edit field is the read-only text: choosing a name fills it, typing cannot.
    m_comboDefaultUser = new QComboBox(usuario);
    m_comboDefaultUser->setObjectName(QStringLiteral("ComboDefaultUser"));
    m_comboDefaultUser->setEditable(true);
    m_comboDefaultUser->setInsertPolicy(QComboBox::NoInsert);
    m_edDefaultUser = m_comboDefaultUser->lineEdit();
    m_edDefaultUser->setObjectName(QStringLiteral("EdDefaultUser"));
    m_edDefaultUser->setReadOnly(true);
    connect(m_comboDefaultUser, &QComboBox::activated, this, &TFormConfig::ComboDefaultUserSelect);
    m_sButUsuario = ellipsisButton(QStringLiteral("SButUsuario"), tr("Adicionar usuário"), usuario);
    connect(m_sButUsuario, &QToolButton::clicked, this, &TFormConfig::SButUsuarioClick);
    auto* userRow = new QHBoxLayout;
    userRow->addWidget(new QLabel(tr("Usuário"), usuario));
    userRow->addWidget(m_comboDefaultUser, 1);
    userRow->addWidget(m_sButUsuario);

    auto* explicacao = new QLabel(tr("Você pode definir o usuário padrão para acesso à rede. Pode-se definir também o "
                                     "estado inicial do usuário ao realizar a conexão."),
        usuario);
    explicacao->setWordWrap(true);

    m_statusGroup = new QButtonGroup(this);
    auto* statusRow = new QHBoxLayout;
    for (const StatusChoice& choice : StatusChoices) {
        auto* button = new QRadioButton(tr(choice.caption), usuario);
        button->setObjectName(QStringLiteral("RdBut") + PresenceCode(choice.status));
        m_statusGroup->addButton(button);
        m_rdButStatus.append(button);
        statusRow->addWidget(button);
    }
    statusRow->addStretch();

    auto* usuarioLayout = new QVBoxLayout(usuario);
    usuarioLayout->addLayout(toggleRow);
    usuarioLayout->addLayout(userRow);
    usuarioLayout->addWidget(explicacao);
    usuarioLayout->addWidget(new QLabel(tr("Iniciar no seguinte estado:"), usuario));
    usuarioLayout->addLayout(statusRow);

    auto* otimizacoes = new QGroupBox(tr(" Otimizações "), page);
    // %1 is the gap the number box sits in.
    const QString caption = tr("Cópia de segurança automática (ao fechar) a cada%1execuções.");
    auto* autoBackupCada
        = numberBox("EdAutoBackupCada", std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), otimizacoes);
    auto* autoBackup = new GapCheckBox(caption.arg(QString(GapCheckBox::Gap, QLatin1Char(' '))),
        int(caption.indexOf(QLatin1String("%1"))), autoBackupCada, otimizacoes);
    autoBackup->setObjectName(QStringLiteral("ChBoxAutoBackup"));
    auto* maxArqHist = numberBox("EdMaxRegsArqHist", 0, MaxHistoryRecords, otimizacoes);
    auto* maxJanHist = numberBox("EdMaxRegsJanHist", 0, MaxHistoryRecords, otimizacoes);
    auto* limits = new QHBoxLayout;
    limits->setContentsMargins(20, 0, 0, 0);
    limits->addWidget(maxArqHist);
    limits->addWidget(new QLabel(tr("mantida no arquivo de histórico"), otimizacoes));
    limits->addSpacing(12);
    limits->addWidget(maxJanHist);
    limits->addWidget(new QLabel(tr("exibida na janela de histórico"), otimizacoes));
    limits->addStretch();

    auto* otimizacoesLayout = new QVBoxLayout(otimizacoes);
    otimizacoesLayout->addWidget(autoBackup);
    otimizacoesLayout->addWidget(
        checkBox("ChBoxAutoBackupTroca", tr("Permitir troca do nome da cópia de segurança automática."), otimizacoes));
    otimizacoesLayout->addWidget(new QLabel(tr("Qtde máxima de Registro de Mensagens"), otimizacoes));
    otimizacoesLayout->addLayout(limits);

    auto* entrega = new QGroupBox(tr(" Confirmação de Entrega "), page);
    auto* entregaLayout = new QVBoxLayout(entrega);
    entregaLayout->addWidget(checkBox(
        "ChBoxConfirmarEntrega", tr("Confirmar mensagens recebidas e exibir a entrega das enviadas"), entrega));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(usuario);
    layout->addWidget(otimizacoes);
    layout->addWidget(entrega);
    layout->addStretch();
}

void TFormConfig::Exibir()
{
    show();
    raise();
    activateWindow();
}

void TFormConfig::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Every opening re-reads the file; a window manager's un-minimise does not.
    if (!event->spontaneous())
        FormShow();
}

void TFormConfig::FormShow()
{
    TFormComTools& tools = m_station.FormComTools();
    const Preferences preferences = tools.preferences();

    m_pageControl->setCurrentIndex(0);
    m_imgAvisoReceber->hide();
    m_imgAvisoEnviar->hide();

    m_edDefaultUser->clear();
    CarregarUsuarios();
    m_edDefaultUser->setText(preferences.defaultUser());

    const QString canal = preferences.defaultChannel();
    m_comboCanal->setEditText(QString());
    CarregarCanais();
    if (!canal.isEmpty())
        m_comboCanal->setCurrentIndex(m_comboCanal->findText(canal, Qt::MatchFixedString));

    m_sbDefaultUser->setChecked(!m_edDefaultUser->text().isEmpty());

    setStatusCode(preferences.defaultStatus());

    for (const Binding& binding : m_bindings) {
        const SettingValue value
            = preferences.value(*binding.key, binding.fallback.value_or(binding.key->defaultValue));
        if (auto* box = qobject_cast<QCheckBox*>(binding.control))
            box->setChecked(value.toBool());
        else if (auto* number = qobject_cast<QSpinBox*>(binding.control))
            number->setValue(value.toInt());
        else if (auto* edit = qobject_cast<QLineEdit*>(binding.control))
            showSoundPath(edit, value.toString());
    }
}

void TFormConfig::CarregarUsuarios()
{
    TFormComTools& tools = m_station.FormComTools();
    QStringList names;
    tools.guarded([&] { tools.names().LoadUserList(names); });
    fillList(m_comboDefaultUser, names, m_station.collation());
}

void TFormConfig::CarregarCanais()
{
    TFormComTools& tools = m_station.FormComTools();
    QStringList names;
    tools.guarded([&] { tools.names().LoadChannelList(names); });
    fillList(m_comboCanal, names, m_station.collation());
}

QString TFormConfig::statusCode() const
{
    Presence status = Presence::Online;
    for (qsizetype i = 0; i < m_rdButStatus.size(); ++i) {
        if (m_rdButStatus[i]->isChecked())
            status = StatusChoices[i].status;
    }
    return PresenceCode(status);
}

void TFormConfig::setStatusCode(const QString& code)
{
    // An unknown code leaves every button unchecked, which an exclusive group would not allow.
    m_statusGroup->setExclusive(false);
    for (qsizetype i = 0; i < m_rdButStatus.size(); ++i)
        m_rdButStatus[i]->setChecked(PresenceFromCode(code) == StatusChoices[i].status);
    m_statusGroup->setExclusive(true);
}

bool TFormConfig::TextosGravaveis()
{
    struct Texto
    {
        QString caption;
        QWidget* control;
        QString text;
    };
    const Texto textos[] = {
        { tr("Canal de Comunicação"), m_comboCanal, m_comboCanal->currentText() },
        { tr("Usuário"), m_comboDefaultUser, m_edDefaultUser->text() },
        { tr("Emitir som ao receber mensagem"), m_edSomReceber, m_edSomReceber->text() },
        { tr("Emitir som ao enviar mensagem"), m_edSomEnviar, m_edSomEnviar->text() },
    };
    QStringList lines;
    QWidget* first = nullptr;
    for (const Texto& texto : textos) {
        QStringList named;
        for (const QString& character : ProfileFile::unstorableCharacters(texto.text))
            named.append(describeCharacter(character));
        if (named.isEmpty())
            continue;
        lines.append(QStringLiteral("\"%1\": %2").arg(texto.caption, named.join(QStringLiteral(", "))));
        if (!first)
            first = texto.control;
    }
    if (!first)
        return true;
    // The store would refuse the whole save with "Unable to write to ...", which reads like a
    // problem of rights; this says what to change, and the dialog keeps the changes.
    const QString text = tr("As configurações não foram salvas: o arquivo %1 não pode guardar estes caracteres.\n\n"
                            "%2\n\nTroque-os e salve novamente.")
                             .arg(QStringLiteral("colloqua.ini"), lines.join(QLatin1Char('\n')));
    m_station.prompter().message(Prompter::Kind::Warning, tr("Configurações"), text);
    for (int page = 0; page < m_pageControl->count(); ++page) {
        if (m_pageControl->widget(page)->isAncestorOf(first))
            m_pageControl->setCurrentIndex(page);
    }
    first->setFocus();
    return false;
}

bool TFormConfig::SalvarAlteracoes()
{
    if (!TextosGravaveis())
        return false;
    using namespace SettingKeys;
    QList<SettingWrite> writes {
        entry(Setup::DefaultChannel).write(m_comboCanal->currentText()),
        entry(Setup::DefaultUser).write(m_edDefaultUser->text()),
        entry(Setup::DefaultStatus).write(statusCode()),
    };
    for (const Binding& binding : m_bindings)
        writes.append(binding.key->write(controlValue(binding.control)));
    TFormComTools& tools = m_station.FormComTools();
    // One replacement of the file: a refused write leaves every key as it was.
    return tools.guarded([&] { tools.preferences().store(writes); });
}

bool TFormConfig::SalvaConfiguracoes()
{
    try {
        m_station.FormComTools().preferences().storeFactoryValues();
        return true;
    } catch (const FileError&) {
        return false;
    }
}

void TFormConfig::ButOkClick()
{
    // After a failed save the dialog stays open, so the changes are not lost with it.
    if (SalvarAlteracoes())
        accept();
}

void TFormConfig::ButAplicarClick()
{
    SalvarAlteracoes();
}

void TFormConfig::ButCancelarClick()
{
    reject();
}

void TFormConfig::SBDefaultUserClick()
{
    // The click has already toggled the button: cleared now means it was set.
    if (!m_sbDefaultUser->isChecked())
        m_edDefaultUser->clear();
}

void TFormConfig::ComboDefaultUserSelect(int index)
{
    if (index >= 0)
        m_edDefaultUser->setText(m_comboDefaultUser->itemText(index));
}

void TFormConfig::SButUsuarioClick()
{
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        const std::optional<QString> typed = m_station.prompter().askText(tr("Adicionar usuário"), tr("Usuário:"), {});
        if (!typed)
            return;
        // Stored as typed, but never with a character no name can carry.
        const QString name = NameRules::withoutUnstorable(*typed);
        if (name.isEmpty())
            return;
        tools.names().AddUserName(name);
        CarregarUsuarios();
    });
}

void TFormConfig::SButCanalClick()
{
    TFormComTools& tools = m_station.FormComTools();
    tools.guarded([&] {
        const DialogoAbertoScope dialogo(tools);
        const std::optional<QString> typed = m_station.prompter().askText(tr("Adicionar canal"), tr("Canal:"), {});
        if (!typed || typed->isEmpty())
            return;
        tools.names().AddChannelName(*typed);
        CarregarCanais();
    });
}

QLineEdit* TFormConfig::soundPath(Lado lado) const
{
    return lado == Lado::Receber ? m_edSomReceber : m_edSomEnviar;
}

void TFormConfig::showSoundPath(QLineEdit* edit, const QString& path)
{
    edit->setText(path);
    // An empty tooltip is not shown.
    edit->setToolTip(path);
}

void TFormConfig::CopiarArquivo(Lado lado)
{
    TFormComTools& tools = m_station.FormComTools();
    const bool receber = lado == Lado::Receber;
    QLineEdit* path = soundPath(lado);

    std::optional<QString> chosen;
    {
        const DialogoAbertoScope dialogo(tools);
        const QString folder = path->text().isEmpty() ? QString() : QFileInfo(path->text()).absolutePath();
        chosen = m_station.prompter().chooseFile(tr("Abrir"), folder, tr("Arquivos Wave (*.wav)"));
    }
    if (!chosen)
        return;

    const std::optional<QString> copy = CopySoundFile(tools.home(), *chosen);
    if (!copy) {
        (receber ? m_imgAvisoReceber : m_imgAvisoEnviar)->show();
        (receber ? m_imgAvisoEnviar : m_imgAvisoReceber)->hide();
        (receber ? m_chBoxEmitirSomReceber : m_chBoxEmitirSomEnviar)->setChecked(false);
        // On purpose, as this dialog has always done on every station: a failed copy turns the other sound on.
        (receber ? m_chBoxEmitirSomEnviar : m_chBoxEmitirSomReceber)->setChecked(true);
        return;
    }
    showSoundPath(path, *copy);
    QLineEdit* other = soundPath(receber ? Lado::Enviar : Lado::Receber);
    showSoundPath(other, other->text());
}
