# SPDX-License-Identifier: GPL-3.0-or-later
# The Verification window on the simulated wrench and its reference tester: a pre-load and
# two readings at 100 % of 100 N·m, the tester's readings taken as they come, the run passed.
click cmdPortOpen
click cmdVerification
expect frmVerification Verification
expect lblPrompt Set up the run and press Start.
expect cmbTesterBaud 9600
set txtMaximum 100
set txtPoints 100
set txtReadings 2
set txtPreloads 1
set txtTechnician Tess
set txtRemark 21 °C
start cmdStartRun
expect-enabled cmdStartRun false
expect-enabled cmdStopRun true
expect-enabled txtMaximum false
idle
expect lblVerdict PASSED
expect lblPrompt Verification passed
expect lblTesterLine Tester: +100.00 N.m
expect-enabled cmdStartRun true
expect-enabled cmdNextPull false
expect-enabled cmdStopRun false
# The run was kept in the records: its certificate can be asked for.
expect-enabled cmdCertificate true
