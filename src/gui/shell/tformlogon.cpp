#include "tformlogon.h"

#include "namerules.h"
#include "presence.h"
#include "prompter.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformmain.h"

#include <QCollator>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>

namespace
{
// Drops the forbidden characters from whatever reaches the field, pasted text included:
// a pasted "(" would break every frame and tree entry that carries the name.
class NameValidator final : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        for (qsizetype i = input.size() - 1; i >= 0; --i) {
            if (NameRules::isForbidden(input.at(i))) {
                input.remove(i, 1);
                if (i < pos)
                    --pos;
            }
        }
        return Acceptable;
    }
};

QComboBox* nameBox(QWidget* parent, int maxLength)
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // The list is matched by hand on show; completion would pick entries on its own.
    box->setCompleter(nullptr);
    box->lineEdit()->setMaxLength(maxLength);
    box->lineEdit()->setValidator(new NameValidator(box));
    return box;
}

// Case-insensitive exact match, as the list's own search does; -1 when absent.
int findName(const QComboBox* box, const QString& name)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
} // namespace

TFormLogon::TFormLogon(Station& station, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    m_comboCanal = nameBox(this, MaxChannelLength);
    m_comboUsuario = nameBox(this, MaxUserLength);
    m_butOK = new QPushButton(tr("OK"), this);
    m_butCancela = new QPushButton(tr("Cancela"), this);
    m_butOK->setAutoDefault(false);
    m_butCancela->setAutoDefault(false);
    connect(m_butOK, &QPushButton::clicked, this, &TFormLogon::ButOKClick);
    connect(m_butCancela, &QPushButton::clicked, this, &TFormLogon::reject);

    auto* form = new QFormLayout;
    form->addRow(tr("Canal de Comunicação"), m_comboCanal);
    form->addRow(tr("Usuário"), m_comboUsuario);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_butOK);
    buttons->addWidget(m_butCancela);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The buttons pass their keys to the shared shortcuts too.
    m_butOK->installEventFilter(this);
    m_butCancela->installEventFilter(this);
    for (QComboBox* box : { m_comboCanal, m_comboUsuario }) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
        // Only what the user does counts: textEdited and activated are not raised by Preparar.
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this] { m_alterado = true; });
        connect(box, &QComboBox::activated, this, [this] { m_alterado = true; });
    }
}

TFormLogon::~TFormLogon() = default;

void TFormLogon::Exibir()
{
    // Asked again while open (a second click on the icon): what the user typed stays.
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    m_station.FormComTools().guarded([this] { Preparar(); });
    setModal(true);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TFormLogon::Preparar()
{
    m_alterado = false;
    m_comboCanal->clear();
    m_comboUsuario->clear();
    m_comboCanal->setEditText(QString());
    m_comboUsuario->setEditText(QString());

    TFormComTools& tools = m_station.FormComTools();
    QCollator collator(m_station.collation());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto fill = [&](QComboBox* box, QStringList names) {
        std::sort(names.begin(), names.end(), collator);
        box->addItems(names);
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    };
    QStringList channels;
    QStringList users;
    tools.names().LoadChannelList(channels);
    tools.names().LoadUserList(users);
    fill(m_comboCanal, channels);
    fill(m_comboUsuario, users);

    // A pair is never mixed: the defaults when both are set, else the last ones.
    const Preferences preferences = tools.preferences();
    QString channel = preferences.defaultChannel();
    QString user = preferences.defaultUser();
    if (channel.isEmpty() || user.isEmpty()) {
        channel = preferences.lastChannel();
        user = preferences.lastUser();
    }
    if (!channel.isEmpty())
        m_comboCanal->setCurrentIndex(findName(m_comboCanal, channel));
    if (!user.isEmpty())
        m_comboUsuario->setCurrentIndex(findName(m_comboUsuario, user));

    if (!m_comboCanal->currentText().isEmpty()) {
        m_comboUsuario->setFocus();
    } else {
        m_comboCanal->setFocus();
        if (m_comboCanal->count() > 0)
            m_comboCanal->setCurrentIndex(0);
    }
}

QString TFormLogon::PerguntaAlteracao(const QString& user, const QString& channel)
{
    return tr("Deseja alterar para usuário \"%1\" no canal \"%2\"?").arg(user, channel);
}

bool TFormLogon::DeveProsseguir(const QString& user, const QString& channel)
{
    TFormCom& com = m_station.FormCom();
    if (!m_alterado)
        return user != com.UsuarioAtual() || channel != com.CanalAtual();
    if (!com.EstaConectado())
        return true;
    TFormComTools& tools = m_station.FormComTools();
    const DialogoAbertoScope dialogo(tools);
    return m_station.prompter().confirm(
        Prompter::Kind::Warning, QStringLiteral("Colloqua"), PerguntaAlteracao(user, channel));
}

void TFormLogon::ButOKClick()
{
    const QString user = m_comboUsuario->currentText();
    const QString channel = m_comboCanal->currentText();
    if (!user.isEmpty() && !channel.isEmpty() && DeveProsseguir(user, channel)) {
        TFormCom& com = m_station.FormCom();
        if (com.EstaConectado())
            com.Desconectar();
        com.Conectar(user, channel, PresenceCode(Presence::Online));
    }
    accept();
}

void TFormLogon::done(int result)
{
    QDialog::done(result);
    // Without a notification area nothing else would be left on screen.
    m_station.FormMain().GarantirAcessoSemBandeja();
}

bool TFormLogon::TratarTecla(QComboBox* box, const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = TFormCom::ShortcutModifiers(key->modifiers());
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (modifiers != Qt::NoModifier)
            return false;
        if (box == m_comboCanal)
            m_comboUsuario->setFocus();
        else
            ButOKClick();
        return true;
    }
    const QString text = key->text();
    if (text.size() != 1 || (modifiers & ~Qt::ShiftModifier) != Qt::NoModifier)
        return false;
    const QChar c = text.at(0);
    if (NameRules::isForbidden(c))
        return true;
    if (const QChar capital = NameRules::typedCapital(c); capital != c) {
        // Typed over a selection or at the cursor, within the field's length, like any key.
        box->lineEdit()->insert(QString(capital));
        m_alterado = true;
        return true;
    }
    return false;
}

bool TFormLogon::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog sees the keys before its fields do.
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (m_station.FormCom().TratarAtalhos(key->key(), key->modifiers()))
        return true;
    QComboBox* box = nullptr;
    if (watched == m_comboCanal || watched == m_comboCanal->lineEdit())
        box = m_comboCanal;
    else if (watched == m_comboUsuario || watched == m_comboUsuario->lineEdit())
        box = m_comboUsuario;
    if (box && TratarTecla(box, key))
        return true;
    return QDialog::eventFilter(watched, event);
}
