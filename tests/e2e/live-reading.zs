# SPDX-License-Identifier: GPL-3.0-or-later
# Reading On against the simulated wrench: Get, the constants, then the live torque until
# Reading OFF. Then a second reading that the end of the script cuts short, as End does.
click cmdPortOpen
choose cmbFraN  2
answer yes
start cmdAutoOn
wait 4000
expect Shape1 #FF0000
expect-enabled cmdAutoOn false
expect-enabled cmdAutoOff true
expect-enabled cmdRdMaxTk false
expect-enabled cmdGetPara false
click cmdAutoOff
expect Shape1 #FFC0C0
idle
expect-enabled cmdAutoOn true
expect-enabled cmdAutoOff false
expect-enabled cmdRdMaxTk true
print frmRs232SetCmd.txtTk
print txtParaReq
answer no
start cmdAutoOn
wait 1500
expect Shape1 #FF0000
