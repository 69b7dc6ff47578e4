# SPDX-License-Identifier: GPL-3.0-or-later
# While a read waits, the buttons of other exchanges are disabled; "Reset 232" is not,
# and ends the wait as an incomplete reply.
click cmdPortOpen
start cmdRead
expect txtState RECV
expect-enabled cmdWrite false
expect-enabled cmdSendAByte false
expect-enabled cmdPortClose false
expect-enabled cmdRstSend true
answer ok
answer ok
click cmdRstSend
idle
expect-box Communication Error | Data Receving is not enough
expect-box Help | Step1:Connect Rs232 cable firmly.\r\nStep2:Make sure the wrench is on 'send'state.\r\nStep3:Try again!
expect txtReadData(0) XX
expect txtState IDLE0
expect-enabled cmdWrite true
expect txtLocalHex Read-------------\r\n&H10 &H00 &H05 \r\n
