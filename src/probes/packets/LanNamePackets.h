#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Queries and answers of the two protocols in which a LAN's hosts name themselves:
// NetBIOS name service (UDP 137) and multicast DNS (UDP 5353).
//
// The parsers read what any host on the LAN may send, so they take nothing on trust:
// every count, length and compression pointer is checked against the packet, and a
// packet that breaks any of them is no answer at all. Each answer must carry the id of
// its question, which the asker draws at random, so that a host that sees one question
// cannot answer another. What one packet costs is bounded: at most 64 records and
// questions, at most 32 compression pointers in a name, and names are compared where
// they lie. Names come back exactly as the packet holds them (decoded); making them
// fit for a list row is the caller's part.
namespace LanNamePackets {

// NetBIOS node status request (NBSTAT, name "*") with transaction id `id`.
QByteArray nodeStatusQuery(quint16 id);
// The workstation name from a node status response to query `id` for "*" (the answer
// to a node status query for another name is none): the first name with
// suffix 0x00 that is unique (group bit clear), decoded from code page 932, trailing
// blanks and NULs trimmed. std::nullopt when the packet is not such a response (wrong
// id, not a response, opcode or rcode not zero, truncated, counts or lengths that run
// past the end): the caller then keeps waiting. An empty QString when it is a valid
// response but holds no usable workstation name (none listed, or the first one is not
// whole code page 932 text or only blanks).
std::optional<QString> parseNodeStatus(QByteArrayView packet, quint16 id);

// NetBIOS name query (broadcast flag set, recursion desired clear) for `name` with
// suffix 0x00: the name upper-cased as NetBIOS does (ASCII letters only), encoded in
// cp932, padded with blanks to 15 bytes, first-level encoded. Empty QByteArray when the
// name cannot be sent: empty, not encodable in cp932 without loss, longer than 15
// bytes, or containing a '.'.
QByteArray nameQuery(quint16 id, const QString& name);
// The first IPv4 address (host byte order) of a positive name query response to `id`
// for that same name; std::nullopt otherwise (negative response, wrong id or name,
// malformed, or a name nameQuery refuses).
std::optional<quint32> parseNameQueryResponse(QByteArrayView packet, quint16 id,
                                              const QString& name);

// Multicast DNS reverse query: one question, PTR, class IN with the unicast-response
// bit (0x8001), for d.c.b.a.in-addr.arpa of `address` (host byte order), id `id`.
QByteArray mdnsReverseQuery(quint16 id, quint32 address);
// The name the first PTR answer for that address's in-addr.arpa name gives: labels
// joined by '.', no trailing dot (e.g. "printer.local"), UTF-8 decoded. std::nullopt
// for anything that is no response (or has a non-zero opcode or rcode), holds no such
// PTR answer (answers for other names are ignored), is malformed or truncated anywhere
// (compression pointers may only jump back, before the name that holds them), or whose
// name is the root, not valid UTF-8 or longer than 255 bytes on the wire. The id must
// be the query's: the queries go out from a port other than 5353, so only a responder's
// unicast answer reaches the asker, and a responder echoes the id in those (RFC 6762
// 6.7); the multicast answers that carry id 0 go to port 5353, where no one asks.
std::optional<QString> parseMdnsReverseResponse(QByteArrayView packet, quint16 id, quint32 address);

// Multicast DNS address query: A, class IN with the unicast-response bit, for `name`
// (e.g. "printer.local"); empty QByteArray when the name has an empty label, a label
// over 63 bytes or is over 253 bytes in UTF-8.
QByteArray mdnsAddressQuery(quint16 id, const QString& name);
// The first A record's address (host byte order) in the answers to query `id` for that
// name (names compared case-insensitively in ASCII); std::nullopt otherwise, as for the
// reverse response, and for a name mdnsAddressQuery refuses.
std::optional<quint32> parseMdnsAddressResponse(QByteArrayView packet, quint16 id,
                                                const QString& name);

} // namespace LanNamePackets
