#include "tformlogon.h"

#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"

#include <QCollator>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace
{
// Letters a to z become capitals; nothing else changes.
QString upperAsciiLetters(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = c.toUpper();
    }
    return result;
}

QComboBox* nameBox(QWidget* parent, int maxLength)
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setMaxLength(maxLength);
    // The frames and the tree entries cannot carry these characters.
    box->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^.'()\\[\\]|]*")), box));
    return box;
}
} // namespace

TFormLogon::TFormLogon(Station& station, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_station(station)
{
    setWindowTitle(QStringLiteral("Colloqua"));
    m_comboCanal = nameBox(this, 8);
    m_comboUsuario = nameBox(this, 15);
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

    for (QComboBox* box : { m_comboCanal, m_comboUsuario }) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
}

TFormLogon::~TFormLogon() = default;

void TFormLogon::Exibir()
{
    m_station.FormComTools().guarded([this] { Preparar(); });
    setModal(true);
    show();
    raise();
    activateWindow();
}

void TFormLogon::Preparar()
{
    TFormComTools& tools = m_station.FormComTools();
    QCollator collator(m_station.collation());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto fill = [&](QComboBox* box, QStringList names) {
        std::sort(names.begin(), names.end(), collator);
        box->clear();
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
    const Settings& settings = tools.settings();
    const QString setup = QStringLiteral("SETUP");
    QString channel = settings.readString(setup, QStringLiteral("DEFAULT_CHANNEL"), QStringLiteral("NETWORK"), {});
    QString user = settings.readString(setup, QStringLiteral("DEFAULT_USER"), {}, {});
    if (channel.isEmpty() || user.isEmpty()) {
        channel = settings.readString(setup, QStringLiteral("LAST_CHANNEL"), QStringLiteral("NETWORK"), {});
        user = settings.readString(setup, QStringLiteral("LAST_USER"), {}, {});
    }
    if (!channel.isEmpty())
        m_comboCanal->setCurrentIndex(m_comboCanal->findText(channel, Qt::MatchFixedString));
    if (!user.isEmpty())
        m_comboUsuario->setCurrentIndex(m_comboUsuario->findText(user, Qt::MatchFixedString));

    if (!m_comboCanal->currentText().isEmpty()) {
        m_comboUsuario->setFocus();
    } else {
        m_comboCanal->setFocus();
        if (m_comboCanal->count() > 0)
            m_comboCanal->setCurrentIndex(0);
    }
}

void TFormLogon::ButOKClick()
{
    const QString user = upperAsciiLetters(m_comboUsuario->currentText());
    const QString channel = upperAsciiLetters(m_comboCanal->currentText());
    TFormCom& com = m_station.FormCom();
    if (!user.isEmpty() && !channel.isEmpty() && (user != com.UsuarioAtual() || channel != com.CanalAtual())) {
        if (com.EstaConectado())
            com.Desconectar();
        com.Conectar(user, channel, QStringLiteral("ON"));
    }
    accept();
}

bool TFormLogon::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog sees the keys before its fields do.
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (m_station.FormCom().TratarAtalhos(key->key(), key->modifiers()))
        return true;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && TFormCom::ShortcutModifiers(key->modifiers()) == Qt::NoModifier) {
        if (watched == m_comboCanal || watched == m_comboCanal->lineEdit())
            m_comboUsuario->setFocus();
        else
            ButOKClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
