#include "teststation.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A station whose channel mailbox cannot be opened tells the user once, naming the port and
// what to change, instead of sitting deaf.
namespace
{
const QString Channel = QStringLiteral("NETWORK");
const QString Rede = QStringLiteral("REDE");

// Another program holding a UDP address and port, exclusively.
class HeldPort
{
public:
    HeldPort(const QHostAddress& address, quint16 port)
        : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in sa {};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(address.toIPv4Address());
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~HeldPort() { release(); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    bool isBound() const { return m_bound; }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};
} // namespace

class TestMailboxProblem final : public QObject
{
    Q_OBJECT

private slots:
    void toldOnceAtLogon_data();
    void toldOnceAtLogon();
};

void TestMailboxProblem::toldOnceAtLogon_data()
{
    QTest::addColumn<QString>("address"); // ENDERECO; "station": the station's own loopback address
    QTest::addColumn<QString>("held"); // the address another program holds at the port; empty: none
    QTest::addColumn<QString>("message"); // %1 the port, %2 the address

    QTest::newRow("port taken on the station's address")
        << QStringLiteral("station") << QStringLiteral("station")
        << QStringLiteral("A porta UDP %1 do endereço %2 já está em uso, por outro programa ou por outra cópia do "
                          "Colloqua: esta estação não recebe mensagens.\r\rFeche o outro programa, ou defina outro "
                          "ENDERECO ou outra PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.");
    QTest::newRow("port taken, every interface")
        << QString() << QStringLiteral("0.0.0.0")
        << QStringLiteral("A porta UDP %1 já está em uso neste computador, por outro programa ou por outra cópia do "
                          "Colloqua: esta estação não recebe mensagens.\r\rFeche o outro programa, ou defina "
                          "ENDERECO ou PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.");
    QTest::newRow("broadcast address of the interface taken")
        << QStringLiteral("station") << QStringLiteral("127.255.255.255")
        << QStringLiteral("A porta UDP %1 do endereço %2 já está em uso, por outro programa ou por outra cópia do "
                          "Colloqua: esta estação não recebe mensagens.\r\rFeche o outro programa, ou defina outro "
                          "ENDERECO ou outra PORTA na seção REDE do arquivo colloqua.ini e conecte-se de novo.");
    QTest::newRow("not an address")
        << QStringLiteral("servidor") << QString()
        << QStringLiteral("O endereço %2 (ENDERECO na seção REDE do arquivo colloqua.ini) não é um endereço deste "
                          "computador: esta estação não recebe mensagens.\r\rCorrija ENDERECO, ou deixe-o vazio, e "
                          "conecte-se de novo.");
}

void TestMailboxProblem::toldOnceAtLogon()
{
    QFETCH(QString, address);
    QFETCH(QString, held);
    QFETCH(QString, message);

    TestStation a(QStringLiteral("pc-a"));
    const quint16 port = Loopback::testPort();
    if (address == QLatin1String("station"))
        address = a.address().toString();
    a.setting(Rede, QStringLiteral("ENDERECO"), SettingString, address);
    std::unique_ptr<HeldPort> other;
    if (!held.isEmpty()) {
        other = std::make_unique<HeldPort>(
            QHostAddress(held == QLatin1String("station") ? a.address().toString() : held), port);
        QVERIFY(other->isBound());
    }

    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QVERIFY(!a.com().EstaConectado());
    // The rest of the logon ran: the user sees who they are and is told why nobody hears them.
    QCOMPARE(a.com().UsuarioAtual(), QStringLiteral("ANA"));
    QCOMPARE(a.queued().asked().size(), 1);
    const QueuedPrompter::Asked& asked = a.queued().asked().constFirst();
    QCOMPARE(asked.what, QStringLiteral("message"));
    QCOMPARE(asked.kind, Prompter::Kind::Warning);
    QCOMPARE(asked.title, QStringLiteral("Colloqua"));
    QCOMPARE(asked.text,
        QString(message).replace(QStringLiteral("%1"), QString::number(port)).replace(QStringLiteral("%2"), address));

    // Once the cause is gone, the next logon opens the mailbox and says nothing.
    a.queued().clear();
    if (other)
        other->release();
    else
        a.setting(Rede, QStringLiteral("ENDERECO"), SettingString, a.address().toString());
    a.com().Conectar(QStringLiteral("ANA"), Channel, QStringLiteral("ON"));
    QVERIFY(a.com().EstaConectado());
    QVERIFY(a.queued().asked().isEmpty());
    a.com().Desconectar();
}

QTEST_MAIN(TestMailboxProblem)
#include "tst_mailboxproblem.moc"
