# SPDX-License-Identifier: GPL-3.0-or-later
# Pick a parameter by name, read it, write a new value and read it back.
click cmdPortOpen
choose frmRs232SetCmd.Combo1 gK_CWI_H
expect txtAddr1Read 00
expect txtAddr0Read 12
expect txtAddr0Write 12
click cmdRead
expect txtReadData(0) 57
expect txtReadData(1) 00
set txtWriteData 5a
click cmdWrite
click cmdRead
expect txtReadData(0) 5A
expect txtLocalHex Read-------------\r\n&H10 &H00 &H12 \r\nWrite-----------\r\n&H01 &H00 &H12 &H5A\r\nRead-------------\r\n&H10 &H00 &H12 \r\n
