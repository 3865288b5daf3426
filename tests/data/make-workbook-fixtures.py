#!/usr/bin/python3
"""Makes the workbook fixtures of tst_workbook in this folder.

    apt-get install python3-xlwt && ./make-workbook-fixtures.py

The .xlsx files are written part by part, so that they hold what Excel and
other writers put in real files (rich-text runs with phonetic readings,
inline strings, cells without references, parts not named sheetN.xml) and
what they get wrong (cut-off XML). entrants.xls holds the same roster as
entrants.xlsx, written by xlwt; the build and the tests need none of this.
"""

import datetime
import os
import zipfile

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = (2024, 1, 1, 0, 0, 0)

NS_MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
NS_REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS_PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
REL_DOC = NS_REL + "/officeDocument"
REL_SHEET = NS_REL + "/worksheet"
REL_CHART = NS_REL + "/chartsheet"
REL_STRINGS = NS_REL + "/sharedStrings"
REL_STYLES = NS_REL + "/styles"
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def write_zip(name, parts):
    with zipfile.ZipFile(os.path.join(HERE, name), "w") as archive:
        for part, text in parts:
            info = zipfile.ZipInfo(part, STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, text.encode("utf-8") if isinstance(text, str) else text)


def relationships(rels):
    body = "".join('<Relationship Id="%s" Type="%s" Target="%s"/>' % rel for rel in rels)
    return XML + '<Relationships xmlns="%s">%s</Relationships>' % (NS_PKG, body)


def content_types(overrides):
    body = "".join('<Override PartName="%s" ContentType="%s"/>' % o for o in overrides)
    return (XML + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>%s</Types>' % body)


def worksheet(rows, dimension="A1"):
    return (XML + '<worksheet xmlns="%s" xmlns:r="%s"><dimension ref="%s"/><sheetData>%s</sheetData>'
            '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
            '</worksheet>' % (NS_MAIN, NS_REL, dimension, "".join(rows)))


def workbook(sheets, extra=""):
    body = "".join('<sheet name="%s" sheetId="%d" r:id="%s"%s/>'
                   % (s[0], s[1], s[2], ' state="%s"' % s[3] if len(s) > 3 else "") for s in sheets)
    return (XML + '<workbook xmlns="%s" xmlns:r="%s">%s<workbookPr/><sheets>%s</sheets></workbook>'
            % (NS_MAIN, NS_REL, extra, body))


def package(name, sheets, strings=None, styles=None, broken_workbook=False):
    """sheets: (name, part file, sheet XML, kind[, state]); the relationship
    ids run backwards so that nothing can lean on their order."""
    parts = [("[Content_Types].xml", content_types([])),
             ("_rels/.rels", relationships([("rId1", REL_DOC, "xl/workbook.xml")]))]
    rels, entries = [], []
    for i, (sheet_name, part, xml, kind, *state) in enumerate(sheets):
        rid = "rId%d" % (10 - i)
        rels.append((rid, kind, part))
        entries.append((sheet_name, i + 1, rid, *state))
        parts.append(("xl/" + part, xml))
    if strings is not None:
        rels.append(("rId20", REL_STRINGS, "sharedStrings.xml"))
        parts.append(("xl/sharedStrings.xml", strings))
    if styles is not None:
        rels.append(("rId21", REL_STYLES, "/xl/styles.xml"))
        parts.append(("xl/styles.xml", styles))
    book = workbook(entries)
    if broken_workbook:
        book = book.replace("</sheets>", "")
    parts.append(("xl/workbook.xml", book))
    parts.append(("xl/_rels/workbook.xml.rels", relationships(rels)))
    write_zip(name, parts)


def shared_strings(items):
    return (XML + '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>'
            % (NS_MAIN, len(items), len(items), "".join("<si>%s</si>" % i for i in items)))


def t(text):
    return "<t>%s</t>" % text


# The roster, as offices send it: the text number "0012", a phone number and
# a long number stored as numbers, an empty row, column C left empty, dates.
ROSTER = [
    # 工号, 姓名, 手机, 入职
    ("0012", "张三", 13800138000, datetime.date(2023, 3, 15)),
    (12, "李四", 0.1, datetime.datetime(2023, 3, 15, 8, 30, 0)),
    (1003, "王五", 13912345678, datetime.time(8, 30, 0)),
    None,
    (1005, "欧阳娜娜", 1.5, None),
    (1006, "Zhang San", -3, None),
    (1007, "钱七", 123456789012, None),
    (1008, "孙八", 0.1 + 0.2, None),
    (1009, "周九", None, None),
    (1010, "吴十", 2.5e-7, None),
]


def make_entrants_xlsx():
    strings = [t("工号"), t("姓名"), t("手机"), t("入职"), t("0012"), t("张三"),
               # 李四 in two runs with a bold second run and a phonetic reading
               '<r><t>李</t></r><r><rPr><b/></rPr><t>四</t></r><rPh sb="0" eb="2"><t>リ スー</t></rPh>'
               '<phoneticPr fontId="1"/>',
               t("欧阳娜娜"), t("Zhang San"), t("钱七"), t("孙八"), t("周九"), t("吴十"),
               t("奖品"), t("第一行_x000D_\n第二行"), t("")]
    index = {"工号": 0, "姓名": 1, "手机": 2, "入职": 3, "0012": 4, "张三": 5, "李四": 6, "欧阳娜娜": 7,
             "Zhang San": 8, "钱七": 9, "孙八": 10, "周九": 11, "吴十": 12}
    styles = (XML + '<styleSheet xmlns="%s"><numFmts count="2">'
              '<numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>'
              '<numFmt numFmtId="165" formatCode="[$-409]yyyy/mm/dd\\ h:mm:ss"/></numFmts>'
              '<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>'
              '<cellXfs count="5"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/>'
              '<xf numFmtId="21"/><xf numFmtId="10"/></cellXfs></styleSheet>' % NS_MAIN)

    def s(col, row, text):
        return '<c r="%s%d" t="s"><v>%d</v></c>' % (col, row, index[text])

    def n(col, row, value, style=0):
        return '<c r="%s%d"%s><v>%s</v></c>' % (col, row, ' s="%d"' % style if style else "", value)

    rows = ['<row r="1" spans="1:5">%s%s%s%s</row>'
            % (s("A", 1, "工号"), s("B", 1, "姓名"), s("D", 1, "手机"), s("E", 1, "入职"))]
    serials = {datetime.date: ("45000", 1), datetime.datetime: ("45000.354166666664", 2),
               datetime.time: ("0.35416666666666669", 3)}
    for number, entry in enumerate(ROSTER, start=2):
        if entry is None:
            continue
        staff, name, phone, joined = entry
        cells = []
        cells.append(s("A", number, staff) if isinstance(staff, str) else n("A", number, staff))
        if name == "王五":
            cells.append('<c r="B%d" t="inlineStr"><is><t>王五</t></is></c>' % number)
        else:
            cells.append(s("B", number, name))
        cells.append('<c r="C%d" s="4"/>' % number)  # formatted, but empty
        if phone is not None:
            text = {0.1 + 0.2: "0.30000000000000004", 2.5e-7: "2.5000000000000002E-7",
                    13800138000: "13800138000"}.get(phone, repr(phone))
            cells.append(n("D", number, text))
        if joined is not None:
            serial, style = serials[type(joined)]
            cells.append(n("E", number, serial, style))
        rows.append('<row r="%d">%s</row>' % (number, "".join(cells)))
    roster = worksheet(rows, "A1:E11")

    other = worksheet([
        '<row r="1"><c r="A1" t="s"><v>13</v></c><c r="B1" t="b"><v>1</v></c><c r="C1" t="b"><v>0</v></c></row>',
        '<row r="2"><c r="A2"><f>SUM(B5:B6)</f><v>42</v></c>'
        '<c r="B2" t="str"><f>"合"&amp;"计"</f><v>合计</v></c>'
        '<c r="C2" t="e"><f>NA()</f><v>#N/A</v></c></row>',
        # cells without references follow one another from column A
        '<row r="3"><c t="inlineStr"><is><r><t>甲</t></r><r><t>乙</t></r></is></c><c><v>2</v></c>'
        '<c r="E3"><v>5</v></c><c><v>6</v></c></row>',
        '<row r="4"><c r="A4" t="s"><v>14</v></c><c r="B4" t="s"><v>15</v></c></row>',
        # a row without a number follows the previous one
        '<row><c r="A5"><v>5</v></c></row>',
    ], "A1:F5")
    chart = (XML + '<chartsheet xmlns="%s" xmlns:r="%s"><sheetViews><sheetView workbookViewId="0"/>'
             '</sheetViews></chartsheet>' % (NS_MAIN, NS_REL))
    package("entrants.xlsx",
            [("名单", "worksheets/roster.xml", roster, REL_SHEET),
             ("图表", "chartsheets/sheet1.xml", chart, REL_CHART),
             ("Sheet2", "worksheets/sheet1.xml", other, REL_SHEET)],
            strings=shared_strings(strings), styles=styles)


def make_odd_xlsx():
    # A sheet declaring all 1,048,576 x 16,384 cells, with values at two corners.
    huge = worksheet(['<row r="1" spans="1:16384"><c r="A1"><v>1</v></c></row>',
                      '<row r="1048576" spans="1:16384"><c r="XFD1048576" t="inlineStr"><is><t>末</t></is>'
                      '</c></row>'], "A1:XFD1048576")
    package("huge-dimension.xlsx", [("大表", "worksheets/sheet1.xml", huge, REL_SHEET)])
    # Elements closed in the wrong order.
    crossed = worksheet(['<row r="1"><c r="A1"><v>1</c></v></row>'])
    package("broken-sheet.xlsx", [("Sheet1", "worksheets/sheet1.xml", crossed, REL_SHEET)])
    package("broken-workbook.xlsx", [("Sheet1", "worksheets/sheet1.xml", worksheet([]), REL_SHEET)],
            broken_workbook=True)


# A cover sheet hidden before the list, a spare sheet hidden from the menu
# too; the list has an empty row among its entrants.
def make_hidden_sheets_xlsx():
    def row(number, *values):
        cells = "".join('<c r="%s%d" t="inlineStr"><is><t>%s</t></is></c>' % (col, number, value)
                        for col, value in zip("AB", values))
        return '<row r="%d">%s</row>' % (number, cells)

    cover = worksheet([row(1, "年会名单")])
    roster = worksheet([row(1, "工号", "姓名"), row(2, "2001", "赵一"), row(3, "2002", "钱二"),
                        row(5, "2004", "李四"), row(6, "2005", "周五")], "A1:B6")
    spare = worksheet([row(1, "x")])
    package("hidden-sheets.xlsx", [("封面", "worksheets/a.xml", cover, REL_SHEET, "hidden"),
                                   ("名单", "worksheets/b.xml", roster, REL_SHEET),
                                   ("备用", "worksheets/c.xml", spare, REL_SHEET, "veryHidden"),
                                   ("Sheet4", "worksheets/d.xml", worksheet([]), REL_SHEET, "visible")])


def make_entrants_xls():
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("名单")
    formats = {datetime.date: xlwt.easyxf(num_format_str="YYYY-MM-DD"),
               datetime.datetime: xlwt.easyxf(num_format_str="YYYY-MM-DD HH:MM:SS"),
               datetime.time: xlwt.easyxf(num_format_str="HH:MM:SS")}
    for col, caption in ((0, "工号"), (1, "姓名"), (3, "手机"), (4, "入职")):
        sheet.write(0, col, caption)
    for row, entry in enumerate(ROSTER, start=1):
        if entry is None:
            continue
        staff, name, phone, joined = entry
        sheet.write(row, 0, staff)
        sheet.write(row, 1, name)
        if phone is not None:
            sheet.write(row, 3, phone)
        if joined is not None:
            sheet.write(row, 4, joined, formats[type(joined)])
    other = book.add_sheet("Sheet2")
    other.write(0, 0, "奖品")
    other.write(1, 0, 42)
    book.save(os.path.join(HERE, "entrants.xls"))


def make_encrypted_xlsx():
    """A password-protected .xlsx is an OLE compound file holding the
    encrypted package; only the container's shape matters to the reader, so
    an xlwt file has its stream renamed."""
    book = xlwt.Workbook()
    book.add_sheet("Sheet1").write(0, 0, "secret")
    path = os.path.join(HERE, "encrypted.xlsx")
    book.save(path)
    data = bytearray(open(path, "rb").read())
    old = "Workbook".encode("utf-16-le")
    new = "EncryptedPackage".encode("utf-16-le")
    at = data.index(old)
    data[at:at + len(new) + 2] = new + b"\0\0"
    data[at + 64:at + 66] = (len(new) + 2).to_bytes(2, "little")
    open(path, "wb").write(bytes(data))


def make_protected_xls():
    """A password-protected .xls announces itself with a FILEPASS record at
    the top of its globals; here it takes the place of the WRITEACCESS record
    of entrants.xls (with a filler record), so no stream offset moves."""
    data = bytearray(open(os.path.join(HERE, "entrants.xls"), "rb").read())
    at = data.index(b"\x5c\x00\x70\x00")  # WRITEACCESS, 112 bytes
    filepass = b"\x2f\x00\x06\x00" + b"\x00\x00\x34\x12\x78\x56"  # XOR obfuscation, key, verifier
    filler = b"\xef\x00" + (116 - 10 - 4).to_bytes(2, "little") + bytes(116 - 10 - 4)
    data[at:at + 116] = filepass + filler
    open(os.path.join(HERE, "protected.xls"), "wb").write(bytes(data))


def make_slow_dates_xls():
    """Dates two billion days on: FreeXL counts its way to each one day by day."""
    book = xlwt.Workbook()
    sheet = book.add_sheet("Sheet1")
    style = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    for row in range(40):
        sheet.write(row, 0, 2000000000, style)
    book.save(os.path.join(HERE, "slow-dates.xls"))


def make_word_document_xlsx():
    """A Word document renamed .xlsx: a package of the same kind as a
    workbook, whose main part is a document, not a workbook."""
    ns_word = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
    write_zip("word-document.xlsx", [
        ("[Content_Types].xml", XML
         + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/>'
         '<Override PartName="/word/document.xml" ContentType="application/'
         'vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>'),
        ("_rels/.rels", XML + f'<Relationships xmlns="{NS_PKG}">'
         f'<Relationship Id="rId1" Type="{REL_DOC}" Target="word/document.xml"/></Relationships>'),
        ("word/document.xml", XML + f'<w:document xmlns:w="{ns_word}"><w:body>'
         '<w:p><w:r><w:t>工号 姓名</w:t></w:r></w:p><w:p><w:r><w:t>0012 张三</w:t></w:r></w:p>'
         '</w:body></w:document>'),
    ])


if __name__ == "__main__":
    make_entrants_xlsx()
    make_odd_xlsx()
    make_hidden_sheets_xlsx()
    make_entrants_xls()
    make_protected_xls()
    make_slow_dates_xls()
    make_encrypted_xlsx()
    make_word_document_xlsx()
    with open(os.path.join(HERE, "not-a-workbook.xlsx"), "w", encoding="utf-8") as text:
        text.write("工号,姓名\n0012,张三\n")
