#!/usr/bin/python3
"""Writes entrants-30000.xls, the workbook the import benchmark reads.

Needs python3-xlwt (Debian package); the file is committed so that the
benchmark itself needs nothing beyond the build.
"""
import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("名单")
sheet.write(0, 0, "抽奖号码")
sheet.write(0, 1, "姓名")
for i in range(30000):
    sheet.write(i + 1, 0, 13800000000 + i)
    sheet.write(i + 1, 1, "员工%d号" % (i + 1))
book.save("entrants-30000.xls")
