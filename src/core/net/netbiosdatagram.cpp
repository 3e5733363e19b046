#include "netbiosdatagram.h"

#include "ansi.h"

namespace
{
// NetBIOS datagram header fields (RFC 1002 4.4.1), big-endian.
constexpr quint8 FlagFirst = 0x02;
constexpr quint8 FlagMore = 0x01;
constexpr int EncodedNameSize = 34; // length byte, 32 half-byte letters, empty scope
constexpr int MaxEncodedName = 255;

// SMB header and SMB_COM_TRANSACTION request, little-endian, offsets from the SMB header.
constexpr char SmbMagic[] = "\xFFSMB";
constexpr quint8 SmbComTransaction = 0x25;
constexpr quint8 SmbFlagReply = 0x80;
constexpr int SmbHeaderSize = 32;
constexpr int SetupCount = 3;
constexpr int WordCount = 14 + SetupCount;
constexpr int OffWordCount = SmbHeaderSize;
constexpr int OffWords = OffWordCount + 1;
constexpr int OffTotalParameterCount = OffWords + 0;
constexpr int OffTotalDataCount = OffWords + 2;
constexpr int OffParameterCount = OffWords + 18;
constexpr int OffParameterOffset = OffWords + 20;
constexpr int OffDataCount = OffWords + 22;
constexpr int OffDataOffset = OffWords + 24;
constexpr int OffSetupCount = OffWords + 26;
constexpr int OffSetup = OffWords + 28;
constexpr int OffByteCount = OffWords + 2 * WordCount;
constexpr int OffBytes = OffByteCount + 2;
constexpr quint16 OpcodeWrite = 1;

const QByteArray MailslotPrefix = QByteArrayLiteral("\\MAILSLOT\\");

void putBe16(QByteArray& out, qsizetype at, quint16 v)
{
    out[at] = static_cast<char>(v >> 8);
    out[at + 1] = static_cast<char>(v & 0xFF);
}

void putLe16(QByteArray& out, qsizetype at, quint16 v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

quint8 byteAt(QByteArrayView b, qsizetype at)
{
    return static_cast<quint8>(b[at]);
}

quint16 be16(QByteArrayView b, qsizetype at)
{
    return static_cast<quint16>((byteAt(b, at) << 8) | byteAt(b, at + 1));
}

quint16 le16(QByteArrayView b, qsizetype at)
{
    return static_cast<quint16>(byteAt(b, at) | (byteAt(b, at + 1) << 8));
}

// The 15 name bytes: upper-case Windows-1252, cut, blank-padded.
QByteArray nameBytes(const QString& name)
{
    QByteArray bytes = Ansi::encode(name.toUpper()).left(NetbiosDatagram::NameLength);
    while (bytes.size() < NetbiosDatagram::NameLength)
        bytes.append(' ');
    return bytes;
}

// First-level encoding (RFC 1001 14.1) of name + suffix, as a one-label name with no scope.
void appendEncodedName(QByteArray& out, const QString& name, quint8 suffix)
{
    QByteArray raw = nameBytes(name);
    raw.append(static_cast<char>(suffix));
    out.append(char(0x20));
    for (const char c : std::as_const(raw)) {
        const auto u = static_cast<quint8>(c);
        out.append(static_cast<char>('A' + (u >> 4)));
        out.append(static_cast<char>('A' + (u & 0x0F)));
    }
    out.append('\0');
}

// Reads an encoded name at `pos` within `end`; advances `pos` past it. Scope labels are
// skipped; compression pointers are not allowed in datagrams.
bool readEncodedName(QByteArrayView b, qsizetype& pos, qsizetype end, QString& name, quint8& suffix)
{
    const qsizetype start = pos;
    if (end - pos < EncodedNameSize || byteAt(b, pos) != 0x20)
        return false;
    QByteArray raw(16, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i) {
        const quint8 hi = byteAt(b, pos + 1 + 2 * i) - 'A';
        const quint8 lo = byteAt(b, pos + 2 + 2 * i) - 'A';
        if (hi > 0x0F || lo > 0x0F)
            return false;
        raw[i] = static_cast<char>((hi << 4) | lo);
    }
    pos += 33;
    for (;;) {
        if (pos >= end || pos - start >= MaxEncodedName)
            return false;
        const quint8 len = byteAt(b, pos);
        if (len == 0)
            break;
        if (len > 63 || end - pos - 1 < len)
            return false;
        pos += 1 + len;
    }
    ++pos;
    if (pos - start > MaxEncodedName)
        return false;
    suffix = static_cast<quint8>(raw[15]);
    QByteArray text = raw.left(NetbiosDatagram::NameLength);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    name = Ansi::decode(text);
    return true;
}

bool hasNul(const QString& s)
{
    return s.contains(QChar(u'\0'));
}
} // namespace

QByteArray NetbiosDatagram::encode() const
{
    if (sourceName.isEmpty() || destinationName.isEmpty() || mailBox.isEmpty() || hasNul(sourceName)
        || hasNul(destinationName) || hasNul(mailBox))
        return {};

    const QByteArray slotName = MailslotPrefix + Ansi::encode(mailBox);
    const qsizetype namesSize = 2 * EncodedNameSize;
    const qsizetype smbSize = OffBytes + slotName.size() + 1 + data.size();
    const qsizetype total = HeaderSize + namesSize + smbSize;
    if (total > MaxUdpPayload)
        return {};

    QByteArray out;
    out.reserve(total);
    out.append(static_cast<char>(type));
    out.append(static_cast<char>(FlagFirst)); // B node, first and only fragment
    out.append(2, '\0');
    putBe16(out, 2, id);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((sourceIp >> shift) & 0xFF));
    out.append(6, '\0');
    putBe16(out, 8, sourcePort);
    putBe16(out, 10, static_cast<quint16>(total - HeaderSize));
    // PACKET_OFFSET stays 0: never fragmented.

    appendEncodedName(out, sourceName, sourceSuffix);
    appendEncodedName(out, destinationName, destinationSuffix);

    const qsizetype smb = out.size();
    out.append(OffBytes, '\0');
    out.replace(smb, 4, SmbMagic, 4);
    out[smb + 4] = static_cast<char>(SmbComTransaction);
    out[smb + OffWordCount] = static_cast<char>(WordCount);
    const auto dataOffset = static_cast<quint16>(OffBytes + slotName.size() + 1);
    const auto dataCount = static_cast<quint16>(data.size());
    putLe16(out, smb + OffTotalDataCount, dataCount);
    putLe16(out, smb + OffParameterOffset, dataOffset); // no parameters: they would start where data does
    putLe16(out, smb + OffDataCount, dataCount);
    putLe16(out, smb + OffDataOffset, dataOffset);
    out[smb + OffSetupCount] = static_cast<char>(SetupCount);
    putLe16(out, smb + OffSetup, OpcodeWrite);
    putLe16(out, smb + OffSetup + 2, priority);
    putLe16(out, smb + OffSetup + 4, mailslotClass);
    putLe16(out, smb + OffByteCount, static_cast<quint16>(slotName.size() + 1 + data.size()));
    out.append(slotName);
    out.append('\0');
    out.append(data);
    return out;
}

std::optional<NetbiosDatagram> NetbiosDatagram::decode(QByteArrayView b)
{
    if (b.size() < HeaderSize)
        return std::nullopt;
    NetbiosDatagram d;
    const quint8 type = byteAt(b, 0);
    if (type != DirectUnique && type != DirectGroup && type != Broadcast)
        return std::nullopt;
    d.type = static_cast<Type>(type);
    // Fragments are not reassembled: a mailslot write always fits one datagram.
    const quint8 flags = byteAt(b, 1);
    if ((flags & FlagMore) || !(flags & FlagFirst) || be16(b, 12) != 0)
        return std::nullopt;
    d.id = be16(b, 2);
    d.sourceIp = (quint32(byteAt(b, 4)) << 24) | (quint32(byteAt(b, 5)) << 16) | (quint32(byteAt(b, 6)) << 8)
        | quint32(byteAt(b, 7));
    d.sourcePort = be16(b, 8);
    // Bytes past DGM_LENGTH (link padding) are ignored; a length past the buffer is not.
    const qsizetype end = HeaderSize + qsizetype(be16(b, 10));
    if (end > b.size())
        return std::nullopt;

    qsizetype pos = HeaderSize;
    if (!readEncodedName(b, pos, end, d.sourceName, d.sourceSuffix)
        || !readEncodedName(b, pos, end, d.destinationName, d.destinationSuffix))
        return std::nullopt;

    const QByteArrayView smb = b.sliced(pos, end - pos);
    if (smb.size() < OffBytes || smb.first(4) != QByteArrayView(SmbMagic, 4) || byteAt(smb, 4) != SmbComTransaction
        || (byteAt(smb, 9) & SmbFlagReply) || byteAt(smb, OffWordCount) != WordCount
        || byteAt(smb, OffSetupCount) != SetupCount || le16(smb, OffSetup) != OpcodeWrite)
        return std::nullopt;
    d.priority = le16(smb, OffSetup + 2);
    d.mailslotClass = le16(smb, OffSetup + 4);

    const qsizetype bytesEnd = OffBytes + qsizetype(le16(smb, OffByteCount));
    if (bytesEnd > smb.size())
        return std::nullopt;
    const qsizetype dataCount = le16(smb, OffDataCount);
    const qsizetype dataOffset = le16(smb, OffDataOffset);
    const qsizetype paramCount = le16(smb, OffParameterCount);
    const qsizetype paramOffset = le16(smb, OffParameterOffset);
    // Only complete, single-part transactions.
    if (le16(smb, OffTotalDataCount) != dataCount || le16(smb, OffTotalParameterCount) != paramCount)
        return std::nullopt;
    if (paramCount > 0 && (paramOffset < OffBytes || paramOffset + paramCount > bytesEnd))
        return std::nullopt;

    const QByteArrayView bytes = smb.sliced(OffBytes, bytesEnd - OffBytes);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul < 0)
        return std::nullopt;
    const qsizetype nameEnd = OffBytes + nul + 1; // past the terminator
    if (dataCount > 0 && (dataOffset < nameEnd || dataOffset + dataCount > bytesEnd))
        return std::nullopt;
    const QByteArrayView slotName = bytes.first(nul);
    if (slotName.size() <= MailslotPrefix.size()
        || QByteArrayView(slotName.first(MailslotPrefix.size())).compare(MailslotPrefix, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    d.mailBox = Ansi::decode(slotName.sliced(MailslotPrefix.size()));
    if (dataCount > 0)
        d.data = smb.sliced(dataOffset, dataCount).toByteArray();
    return d;
}

QString NetbiosDatagram::wireName(const QString& name)
{
    QByteArray bytes = nameBytes(name);
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    return Ansi::decode(bytes);
}
