# SPDX-License-Identifier: GPL-3.0-or-later
# The calibration window on the simulated wrench: its constants, calibration mode, a torque,
# a pause that cannot be one, and a short test run that Stop ends.
click cmdPortOpen
click cmdRs232WRCal
expect frmRs232WRCal 扳手校正命令
click cmdReakAllKandA
expect txtgStatusEp &H02
expect txtgk_cwi_l &H53
expect txtgk_cwi_h &H57
expect txtgk_ccwg_h &H00
# Calibration mode starts with the wrench at rest.
click CmdCal
expect frmRs232WRCal.txta_Ad_Ajust_L &H00
expect frmRs232SetCmd.txta_Ad_Ajust_H 00
click cmdCalTk
expect frmRs232WRCal.txtTk  0
expect frmRs232SetCmd.txtTk  0
choose cmbPt 3位
set txtDelayTime 0
answer ok
click cmdTestStart
expect-box Pause | The pause "0" cannot be used: it must be a whole number of milliseconds from 1 to 32767.\r\nThe test has not been started.
expect-enabled cmdAutoOn true
set txtDelayTime 100
start cmdTestStart
wait 1000
expect-enabled cmdTestStart false
expect-enabled cmdTestStop true
expect-enabled cmdAutoOn false
expect-enabled cmdAutoOff true
expect-enabled cmdReakAllKandA false
click cmdTestStop
idle
expect-enabled cmdAutoOn true
expect-enabled cmdAutoOff false
expect-enabled cmdTestStart true
expect-enabled cmdTestStop false
click CmdESCCal
click frmRs232WRCal.cmdReturn
expect-visible frmRs232WRCal false
