"""Makes and inspects .xlsx workbooks for the spreadsheet tests with an independent implementation
(openpyxl and the zipfile module), so that the tests never judge the workbook layer by itself.

  xlsx_tool.py rich PATH        a workbook with three worksheets, a chart sheet, shared strings,
                                styles, defined names, formulas, merged cells and a calcChain part
  xlsx_tool.py handmade PATH    a small package written by hand: prefixed XML, absolute part
                                targets, rows and cells without numbers, shared and array formulas
  xlsx_tool.py unordered PATH   the same package with the sheet "Data", whose rows are stored in the
                                order 9, 1, 3 and the cells of row 1 in the order B, A
  xlsx_tool.py dump PATH        every sheet cell: sheet!cell, value type and value, style
  xlsx_tool.py set PATH SHEET CELL TEXT   puts a text into a cell, as another program would
  xlsx_tool.py parts PATH       every package part with a digest of its bytes
  xlsx_tool.py part PATH NAME   the text of one part
"""
import hashlib
import re
import sys
import zipfile

CALC_CHAIN = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
              '<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
              '<c r="A4" i="1"/><c r="B4" i="1"/></calcChain>')
CALC_CHAIN_TYPE = 'application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml'
CALC_CHAIN_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain'
SHARED_STRINGS_TYPE = 'application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml'
SHARED_STRINGS_REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings'


def share_strings_and_add_calc_chain(path):
    """openpyxl writes inline strings and no calculation chain; spreadsheet applications write a
    shared-string table and a calcChain part. Give the first sheet both."""
    with zipfile.ZipFile(path) as z:
        parts = [(info, z.read(info.filename)) for info in z.infolist()]
    strings = []

    def share(match):
        strings.append(match.group(3))
        return '<c r="%s"%s t="s"><v>%d</v></c>' % (match.group(1), match.group(2) or '', len(strings) - 1)

    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for info, data in parts:
            if info.filename == 'xl/worksheets/sheet1.xml':
                data = re.sub(r'<c r="([A-Z]+[0-9]+)"( s="[0-9]+")? t="inlineStr"><is><t>([^<]*)</t></is></c>',
                              share, data.decode()).encode()
            if info.filename == '[Content_Types].xml':
                data = data.replace(b'</Types>', ('<Override PartName="/xl/calcChain.xml" ContentType="%s"/>'
                                                  '<Override PartName="/xl/sharedStrings.xml" ContentType="%s"/>'
                                                  '</Types>' % (CALC_CHAIN_TYPE, SHARED_STRINGS_TYPE)).encode())
            if info.filename == 'xl/_rels/workbook.xml.rels':
                data = data.replace(b'</Relationships>', ('<Relationship Id="rIdChain" Type="%s" Target="calcChain.xml"/>'
                                                          '<Relationship Id="rIdStrings" Type="%s" '
                                                          'Target="/xl/sharedStrings.xml"/></Relationships>'
                                                          % (CALC_CHAIN_REL, SHARED_STRINGS_REL)).encode())
            z.writestr(info.filename, data)
        z.writestr('xl/calcChain.xml', CALC_CHAIN)
        z.writestr('xl/sharedStrings.xml',
                   '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'
                   % (len(strings), len(strings)) + ''.join('<si><t>%s</t></si>' % s for s in strings) + '</sst>')


def rich(path):
    from openpyxl import Workbook
    from openpyxl.chart import BarChart, Reference
    from openpyxl.styles import Font, PatternFill
    from openpyxl.worksheet.table import Table
    from openpyxl.workbook.defined_name import DefinedName
    wb = Workbook()
    data = wb.active
    data.title = 'Data'
    for row in range(1, 4):
        data.cell(row=row, column=1, value=row * 10)
        data.cell(row=row, column=2, value='text %d' % row)
    data['A4'] = '=SUM(A1:A3)'
    data['B4'] = '=A4*2'
    data['C2'] = 'keep me'
    data['C2'].font = Font(bold=True)
    data['D2'].fill = PatternFill('solid', fgColor='FFFF00')
    data['E7'] = 'far'
    data.merge_cells('F1:G1')
    data.column_dimensions['H'].font = Font(bold=True)
    data['F1'] = 'merged'
    second = wb.create_sheet('Second')
    second['B2'] = 'second sheet'
    second['C3'] = 3.25
    second['C3'].number_format = '0.000'
    chart = BarChart()
    chart.add_data(Reference(data, min_col=1, min_row=1, max_row=3))
    wb.create_chartsheet('Chart').add_chart(chart)
    third = wb.create_sheet('Third')
    third['A1'] = 'third'
    third['J1'], third['K1'], third['J2'], third['K2'] = 'Net', 'Tare', 1, 2
    third.add_table(Table(displayName='Weighings', ref='J1:K2'))
    wb.defined_names.append(DefinedName('Readings', attr_text='Data!$A$1:$A$3'))
    wb.defined_names.append(DefinedName('Rate', attr_text='0.25'))
    wb.save(path)
    share_strings_and_add_calc_chain(path)


HANDMADE = {
    '[Content_Types].xml':
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" '
        'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" '
        'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
        '</Types>',
    '_rels/.rels':
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
        'officeDocument" Target="/xl/workbook.xml"/></Relationships>',
    'xl/workbook.xml':
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
        'xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
        '<x:sheets><x:sheet name="Hand" sheetId="1" rel:id="rIdA"/></x:sheets></x:workbook>',
    'xl/_rels/workbook.xml.rels':
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rIdA" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
        'worksheet" Target="/xl/worksheets/sheet1.xml"/></Relationships>',
    'xl/worksheets/sheet1.xml':
        '<?xml version="1.0" encoding="UTF-8"?>'
        '<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
        '<x:dimension ref="A1:C3"/><x:sheetData>'
        '<x:row><x:c><x:v>1</x:v></x:c><x:c r="B1"><x:f t="shared" ref="B1:B3" si="0">A1*2</x:f><x:v>2</x:v></x:c>'
        '<x:c r="C1"><x:f t="array" ref="C1:C2">A1:A2*3</x:f><x:v>3</x:v></x:c></x:row>'
        '<x:row><x:c><x:v>2</x:v></x:c><x:c r="B2"><x:f t="shared" si="0"/><x:v>4</x:v></x:c><x:c><x:v>6</x:v></x:c>'
        '</x:row>'
        '<x:row r="3"><x:c r="A3"><x:v>3</x:v></x:c><x:c r="B3"><x:f t="shared" si="0"/><x:v>6</x:v></x:c></x:row>'
        '</x:sheetData></x:worksheet>',
}


def handmade(path):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in HANDMADE.items():
            z.writestr(name, text)


UNORDERED_SHEET = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
    '<dimension ref="A1:D9"/><sheetData>'
    '<row r="9"><c r="A9"><v>9</v></c></row>'
    '<row r="1"><c r="B1"><v>2</v></c><c r="A1"><v>1</v></c></row>'
    '<row r="3"><c r="C3"><v>5</v></c><c r="D3"><f>C3*2</f><v>10</v></c></row>'
    '</sheetData></worksheet>')


def unordered(path):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in HANDMADE.items():
            if name == 'xl/worksheets/sheet1.xml':
                text = UNORDERED_SHEET
            z.writestr(name, text.replace('name="Hand"', 'name="Data"'))


def dump(path):
    from openpyxl import load_workbook
    wb = load_workbook(path)
    print('sheets\t' + ','.join(wb.sheetnames))
    for name in sorted(n.name for n in wb.defined_names.definedName):
        print('name:%s\t%s' % (name, wb.defined_names[name].attr_text))
    for ws in wb.worksheets:
        print('merged:%s\t%s' % (ws.title, ','.join(sorted(str(r) for r in ws.merged_cells.ranges))))
        for row in ws.iter_rows():
            for cell in row:
                if cell.value is None and not cell.has_style:
                    continue
                style = '%s|%s|%s' % (cell.font.b, cell.fill.fgColor.rgb, cell.number_format)
                print('%s!%s\t%s:%r\t%s' % (ws.title, cell.coordinate, type(cell.value).__name__, cell.value, style))


def set_cell(path, sheet, cell, value):
    from openpyxl import load_workbook
    wb = load_workbook(path)
    wb[sheet][cell] = value
    wb.save(path)


def parts(path):
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            print('%s\t%s' % (info.filename, hashlib.sha1(z.read(info.filename)).hexdigest()))


def part(path, name):
    with zipfile.ZipFile(path) as z:
        sys.stdout.write(z.read(name).decode('utf-8'))


if __name__ == '__main__':
    command = sys.argv[1]
    {'rich': rich, 'handmade': handmade, 'unordered': unordered, 'dump': dump, 'set': set_cell, 'parts': parts, 'part': part}[command](*sys.argv[2:])
