#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>/ from the cases the tests use.
Run it again after changing the cases; the files are kept in the repository."""
import os, shutil

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
shutil.rmtree(root, ignore_errors=True)

def put(target, name, data):
    os.makedirs(os.path.join(root, target), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(root, target, name), "wb") as f:
        f.write(data)

# ParseInt32: the texts of the ParseInt32 tests.
for i, text in enumerate(["0", "1000", "   1000", "+1000", "-5", "  -7", "0100", "2147483647",
                          "-2147483648", "000000000000042", "$3E8", "x3e8", "X3E8", "0x3E8", "0X3e8",
                          " $10", "-$10", "+0x10", "$FFFFFFFF", "0x80000000", "-$80000000", "$7FFFFFFF",
                          "$00000001", "xF", "", "   ", "-", "1000 ", "12a", "\t5", "+-5", "- 5",
                          "2147483648", "-2147483649", "99999999999999999999", "$", "0x", "$100000000",
                          "0x000000001", "$1G", "$10 ", "1.5", "$0x1"]):
    put("parseint32", "case%02d" % i, text)
put("parseint32", "utf16-fullwidth", b"\x01" + "\uff11".encode("utf-16-le"))

# S-records as the merge tests build them.
def record(kind, address, data, addr_len):
    body = bytes([len(data) + addr_len + 1]) + address.to_bytes(addr_len, "big") + data
    return kind + (body + bytes([~sum(body) & 0xFF])).hex().upper()

def s2(address, fill=0x11, n=32):
    return record("S2", address, bytes([fill]) * n, 3)

header = "S00F000068656C6C6F202020202000003C"
terminator = "S9030000FC"
crlf = lambda lines: "".join(l + "\r\n" for l in lines)
merge_cases = {
    "window-together": crlf([header, s2(0x387FE0), s2(0x388000), s2(0x388020), s2(0x38BFE0), s2(0x38C000), terminator]),
    "window-two-runs": crlf([header, s2(0x388000), s2(0x387FE0), s2(0x38A000), terminator]),
    "no-window-lf": "\n".join([header, s2(0x380000), record("S1", 0x1000, b"\x01\x02", 2), terminator]) + "\n",
    "last-line-unended": crlf([header, s2(0x380000)]) + terminator,
    "s9-before-window": crlf([terminator, s2(0x388000), terminator]),
    "empty-line": crlf([s2(0x387FE0), "", s2(0x388000), terminator]),
    "short-address": terminator + "\nS22438800\n",
    "not-hex": crlf(["S113ZZ00", terminator]),
    "cr-only": "\r".join([header, s2(0x388000), terminator]) + "\r",
    "opaque": crlf(["s2248880001", "S3250038800000", "garbage", terminator]),
}
for name, text in merge_cases.items():
    put("merge", name, text)
for i, (name, text) in enumerate(merge_cases.items()):
    put("linereader", name, bytes([i * 7 % 64]) + text.encode())
put("linereader", "long-line", b"\x03" + b"A" * 300 + b"\r\n" + b"B" * 10 + b"\r")

# inspect: a bank file and a firmware holding the window.
image = bytearray(16384)
image[15000:15004] = bytes([192, 168, 0, 10])
put("inspect", "bank1.bin", bytes(image))
window = [record("S2", 0x388000 + 32 * i, bytes(image[32 * i:32 * i + 32]), 3) for i in range(512)]
put("inspect", "firmware.sx", crlf([header, s2(0x380000)] + window + [terminator]))
put("inspect", "partial.sx", crlf([header] + window[:3] + [terminator]))
put("inspect", "bad-checksum.sx", crlf([header, s2(0x388000)[:-2] + "00", terminator]))
put("inspect", "s1-s3.sx", crlf([record("S1", 0x10, b"\x00", 2), record("S3", 0x388000, b"\x01" * 4, 4)]))

# pargen.xml as a new project gets it, and variants from the document tests.
defaults = [("TCP_IP1", "0"), ("TCP_IP2", "0"), ("TCP_IP3", "0"), ("TCP_IP4", "0"), ("TCP_SUB1", "255"),
            ("TCP_SUB2", "255"), ("TCP_SUB3", "255"), ("TCP_SUB4", "0"), ("TCP_GAT1", "0"), ("TCP_GAT2", "0"),
            ("TCP_GAT3", "0"), ("TCP_GAT4", "0"), ("TCP_PORT", "502"), ("SNMP_PUBLIC", "harbor"),
            ("SNMP_PRIVATE", "granite"), ("BAUD", "3"), ("PARITY", "0"), ("TIME_OUT", "1000"), ("OFFSET", "0"),
            ("MODE", "1")]
def pargen(changes=None):
    changes = changes or {}
    return "<General_Parameter>" + "".join(
        "<%s>%s</%s>" % (n, changes.get(n, v), n) for n, v in defaults if changes.get(n, v) is not None
    ) + "</General_Parameter>"
put("generalparameters", "default.xml", pargen())
put("generalparameters", "values.xml", pargen({"TCP_IP1": "10", "TCP_PORT": "$1F90", "SNMP_PUBLIC": "Öffentlich",
                                               "BAUD": "7", "PARITY": "3", "OFFSET": "0x10", "MODE": "0"}))
put("generalparameters", "structured.xml", pargen({"TCP_IP1": "<b>1</b>", "TCP_PORT": None, "SNMP_PRIVATE": "<![CDATA[a&b]]>"}))
put("generalparameters", "declaration.xml", '<?xml version="1.0" encoding="UTF-8"?>\n' + pargen({"TIME_OUT": " 250"}))
put("generalparameters", "entity.xml", '<!DOCTYPE r [<!ENTITY a "12">]>' + pargen({"TCP_IP2": "&a;"}))
# A name that starts with line ends, and one with blanks and a carriage return: the writer
# once lost the first and must refuse the second.
put("generalparameters", "line-ends.xml", "<General_Parameter><SNMP_PUBLIC>\r\n\r\n" + "\n" * 12 +
    "harbor</SNMP_PUBLIC><SNMP_PRIVATE> \t a&#13;b</SNMP_PRIVATE></General_Parameter>")

# var.xml from the translate table tests.
pump = '<row DATA_TYPE="3" TCP_ADDRESS="100" RTU_ADD_DEV="1" RTU_ADDRESS="0" N_POINT="10" MNEMONIC="PUMP1"/>'
put("translatetable", "empty.xml", "<TCP_TO_RTU/>")
put("translatetable", "pump.xml", "<TCP_TO_RTU>" + pump + pump.replace("PUMP1", "&lt;v&gt; €") + "</TCP_TO_RTU>")
put("translatetable", "declaration.xml", '<?xml version="1.0"?><TCP_TO_RTU>' + pump + "</TCP_TO_RTU>")
put("translatetable", "missing-attribute.xml", '<TCP_TO_RTU><row DATA_TYPE="1" TCP_ADDRESS="2"/></TCP_TO_RTU>')
put("translatetable", "text-child.xml", "<TCP_TO_RTU>" + pump + "text</TCP_TO_RTU>")

# Tessaly.ini from the settings file tests.
for i, text in enumerate(["[lastproj]\r\nprojectname=\\Plant1\r\n", "[lastproj]\nprojectname=Plant1\n",
                          "[ lastproj ]\r\n projectname = X Y \r\n", "[lastproj]\r\nprojectname=\"\\A B\"\r\n",
                          "[other]\r\nk=v\r\n[lastproj]\r\nprojectname=Y\r\n",
                          "[lastproj]\r\n;projectname=X\r\nprojectname=Y\r\n",
                          "; settings\r\n[view]\r\nzoom=2\r\n[lastproj]\r\nother=1\r\nprojectname=Old\r\nmore=2\r\n",
                          "[lastproj]\nother=1\n\n[x]\ny=2\n"]):
    put("settingsfile", "case%02d.ini" % i, text)
put("settingsfile", "garbage.ini", b"\x01\x02[\xff\x00]=\n")

# Modbus TCP streams as the modbus tests write them: three bytes choosing the read
# (function, count), then the frames.
modbus_frames = {
    "registers": "02 0001 " + "0001 0000 0005 01 03 02 002A",
    "coils": "00 0009 " + "0001 0000 0005 01 01 02 CD 01",
    "exception": "02 0001 " + "0001 0000 0003 01 83 0B",
    "two-frames": "02 0002 " + "0001 0000 0007 01 03 04 0007 0008" + "0002 0000 0003 01 83 02",
    "request": "00 0000 " + "0001 0000 0006 01 03 000A 0003",
    "length-zero": "02 0001 " + "0001 0000 0000 01",
    "length-max": "02 0001 " + "0001 0000 FFFF 01 03 02",
    "text": "02 0001 " + "HTTP".encode().hex(),
}
for name, spaced in modbus_frames.items():
    put("modbus", name, bytes.fromhex(spaced.replace(" ", "")))

# Tables as fleet apply and table import read them, from the fleet and table tests.
for i, text in enumerate([b"project,ip,baud\r\nLine1,10.0.0.11,19200\r\nLine9,10.0.0.19,\r\n",
                          b"\xef\xbb\xbfproject,ip,,\r,,,\rPump1,10.0.0.1,,\r\r",
                          b"project,TCP_IP4,public\r\n\"Pump B\", 12,\"a,b\"\r\n\"say \"\"hi\"\"\",\"x\r\ny\",\r\n",
                          b"project;ip\r\nLine1;10.0.0.1\r\n", b"project,ip\r\nLine\xe9,10.0.0.3\r\n",
                          b"project,ip\r\nLine3,10.0\"0.3\r\n", b"project,ip\r\nLine3,\"10.0.0.3\r\n",
                          b"a,\"b\"c\n\xf0\x9f\x98\x80,\xed\xa0\x80\n"]):
    put("csv", "case%02d.csv" % i, text)
put("csv", "mark-in-field.csv", b"proje\x1c\xef\xbb\xbf\xef\xbb\xbfo\n\n\xef\xbb\xbf\xef\xbb\xbf")

# Client streams through the gateway's request path, from the gateway tests: reads, the
# four writes, a NAT read, a broadcast, several frames at once.
def adu(transaction, unit, spaced):
    pdu = bytes.fromhex(spaced.replace(" ", ""))
    return transaction.to_bytes(2, "big") + bytes(2) + (len(pdu) + 1).to_bytes(2, "big") + bytes([unit]) + pdu


gateway_streams = {
    "read": adu(1, 1, "03 0000 0002"),
    "nat-read": adu(2, 9, "03 0064 0004"),
    "write-coils": adu(3, 2, "0F 0000 000A 02 CD 01"),
    "write-registers": adu(4, 1, "10 0069 0002 04 0001 FFFF"),
    "broadcast": adu(5, 0, "06 0000 FFFF"),
    "pipelined": adu(6, 1, "01 0000 0010") + adu(7, 3, "05 0010 FF00") + adu(8, 2, "08 0000 12AB"),
}
for name, data in gateway_streams.items():
    put("gateway", name, data)
