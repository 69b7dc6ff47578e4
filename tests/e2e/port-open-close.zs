# SPDX-License-Identifier: GPL-3.0-or-later
# Open the simulated wrench's port, check every control it sets, close it and open again.
expect-enabled cmdPortOpen true
expect-enabled cmdPortClose false
click cmdPortOpen
expect-enabled cmdPortOpen false
expect-enabled cmdPortClose true
expect-enabled cmdSendAByte true
expect-enabled cmdRead true
expect-enabled cmdWrite true
expect-enabled cmdRstSend true
expect-enabled cmdGetPara true
expect-enabled cmdWrPara true
expect-enabled cmdAutoOn true
expect-enabled cmdAutoOff false
expect-enabled cmbComSelect false
expect-enabled cmbBaudrate false
expect txtState IDLE0
click cmdPortClose
expect-enabled cmdPortOpen true
expect-enabled cmdPortClose false
expect-enabled cmdSendAByte false
expect-enabled cmdGetPara false
expect-enabled cmdRead true
expect-enabled cmbComSelect true
click cmdPortOpen
expect-enabled cmdPortClose true
