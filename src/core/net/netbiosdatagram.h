#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// One remote-mailslot write as it travels in a UDP payload: an RFC 1002 NetBIOS datagram
// whose user data is an SMB_COM_TRANSACTION request with the mailslot setup words
// (opcode 1 "write", priority, class 2) naming \MAILSLOT\<mailBox>. These are the bytes
// stations on Windows exchange on UDP 138, so network analysers decode them as such.
//
// Pure encode/decode: no sockets. Names are Windows-1252 on the wire.
struct NetbiosDatagram
{
    enum Type : quint8
    {
        DirectUnique = 0x10,
        DirectGroup = 0x11,
        Broadcast = 0x12,
    };

    // Longest NetBIOS name; longer names are cut, as Windows does.
    static constexpr int NameLength = 15;
    // Size of the fixed datagram header (type .. packet offset).
    static constexpr int HeaderSize = 14;
    // The largest payload a UDP/IPv4 datagram carries.
    static constexpr int MaxUdpPayload = 65507;

    Type type = DirectUnique;
    quint16 id = 0;
    quint32 sourceIp = 0; // host byte order
    quint16 sourcePort = 0;
    // Without the suffix byte and the blank padding. Encoded upper-case.
    QString sourceName;
    QString destinationName;
    quint8 sourceSuffix = 0x00;
    quint8 destinationSuffix = 0x00;
    quint16 priority = 1;
    quint16 mailslotClass = 2;
    // The mailslot name after "\MAILSLOT\".
    QString mailBox;
    // The mailslot message bytes.
    QByteArray data;

    // The whole UDP payload. Empty when a name is empty, a name or the mailbox holds a NUL,
    // or the result would not fit one UDP datagram.
    QByteArray encode() const;

    // Parses a UDP payload. Nothing for anything that is not one complete, well-formed
    // mailslot write: every length and offset is checked against the buffer.
    static std::optional<NetbiosDatagram> decode(QByteArrayView bytes);

    // A name as it appears on the wire (upper-case, Windows-1252, at most 15 characters,
    // trailing blanks dropped), decoded back: the form in which names are compared.
    static QString wireName(const QString& name);
};
