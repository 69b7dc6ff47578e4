# SPDX-License-Identifier: GPL-3.0-or-later
# Load a model's preset in the editor, write it to the wrench, and read it back.
click cmdPortOpen
click cmdRs232WRPara
choose frmRs232WRPara.Combo1 FG-03
click cmdLdPara
expect Text1(16) 22
expect Check1(16) 1
click cmdWR
expect labMsg OK
click cmdClear
expect Text1(23) XX
set Check1(23) 1
set Check1(24) 1
click cmdReadAll
expect Text1(23) 88
expect Text1(24) 13
# Read All leaves its last progress text.
expect labMsg NO: 24 Reading
set frmRs232SetCmd.txtAddr0Read 19
click cmdRead
expect txtReadData(0) 7C
