<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>zelcor::Application</name>
    <message>
        <source>Service records</source>
        <translation>Service records</translation>
    </message>
</context>
<context>
    <name>zelcor::CellText</name>
    <message>
        <source>is empty</source>
        <translation>is empty</translation>
    </message>
    <message>
        <source>holds %1: this byte has not been read from the wrench</source>
        <translation>holds %1: this byte has not been read from the wrench</translation>
    </message>
    <message>
        <source>holds %1, which is not a hexadecimal byte 00 to FF</source>
        <translation>holds %1, which is not a hexadecimal byte 00 to FF</translation>
    </message>
    <message>
        <source>holds %1, whose value is above FF: no byte 00 to FF</source>
        <translation>holds %1, whose value is above FF: no byte 00 to FF</translation>
    </message>
</context>
<context>
    <name>zelcor::Controls</name>
    <message>
        <source>%v of %m</source>
        <translation>%v of %m</translation>
    </message>
</context>
<context>
    <name>zelcor::EchoBox</name>
    <message>
        <source>Save as</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Save as…</source>
        <translation>Save as…</translation>
    </message>
    <message>
        <source>The text could not be saved to %1:<byte value="xd"/>
%2</source>
        <translation>The text could not be saved to %1:<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Save Failed</source>
        <translation>Save Failed</translation>
    </message>
</context>
<context>
    <name>zelcor::HexInput</name>
    <message>
        <source>length&gt;2,please Enter 00~FF,no space</source>
        <translation>More than two characters: enter 00 to FF, without spaces.</translation>
    </message>
    <message>
        <source>length=0,please Enter 00~FF,no space</source>
        <translation>Nothing entered: enter 00 to FF, without spaces.</translation>
    </message>
    <message>
        <source>Enter 0123456789ABCDEFabcdef</source>
        <translation>Use only the hexadecimal digits 0 to 9 and A to F.</translation>
    </message>
</context>
<context>
    <name>zelcor::HistoryWindow</name>
    <message>
        <source>Time (UTC)</source>
        <translation>Time (UTC)</translation>
    </message>
    <message>
        <source>Wrench code</source>
        <translation>Wrench code</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>Job</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Failure</source>
        <translation>Failure</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Digits</source>
        <translation>Digits</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source> (failure code %1)</source>
        <translation> (failure code %1)</translation>
    </message>
    <message>
        <source>Factory code</source>
        <translation>Factory code</translation>
    </message>
    <message>
        <source>Software version</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>Request code</source>
        <translation>Request code</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>New parameter set</source>
        <translation>New parameter set</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>Detail</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>Bytes read</source>
        <translation>Bytes read</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>Certificate</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>The records cannot be read: %1</source>
        <translation>The records cannot be read: %1</translation>
    </message>
    <message>
        <source>The record %1 is not in the records (yet).</source>
        <translation>The record %1 is not in the records (yet).</translation>
    </message>
    <message>
        <source>No certificate: %1</source>
        <translation>No certificate: %1</translation>
    </message>
    <message>
        <source>Certificate %1 written to %2</source>
        <translation>Certificate %1 written to %2</translation>
    </message>
    <message>
        <source>Service records</source>
        <translation>Service records</translation>
    </message>
    <message>
        <source>The wrench code (2BH 2CH 2DH), empty for every wrench</source>
        <translation>The wrench code (2BH 2CH 2DH), empty for every wrench</translation>
    </message>
    <message>
        <source>all</source>
        <translation>all</translation>
    </message>
    <message>
        <source>From</source>
        <translation>From</translation>
    </message>
    <message>
        <source>Until</source>
        <translation>Until</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>(UTC)</source>
        <translation>(UTC)</translation>
    </message>
    <message>
        <source>Cell</source>
        <translation>Cell</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>After</source>
        <translation>After</translation>
    </message>
    <message>
        <source>Bytes written</source>
        <translation>Bytes written</translation>
    </message>
    <message>
        <source>The records of %1 cannot be opened: %2</source>
        <translation>The records of %1 cannot be opened: %2</translation>
    </message>
    <message>
        <source>The jobs cannot be listed: %1</source>
        <translation>The jobs cannot be listed: %1</translation>
    </message>
    <message>
        <source>The record is gone.</source>
        <translation>The record is gone.</translation>
    </message>
    <message>
        <source>The record cannot be read: %1</source>
        <translation>The record cannot be read: %1</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>%1 cannot be written: %2</translation>
    </message>
    <message>
        <source>%1 records saved to %2</source>
        <translation>%1 records saved to %2</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>; %1 left out that cannot be read: %2</source>
        <translation>; %1 left out that cannot be read: %2</translation>
    </message>
    <message>
        <source>Last verification (UTC)</source>
        <translation>Last verification (UTC)</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>Next due</source>
        <translation>Next due</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Certificate…</source>
        <translation>Certificate…</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Due</translation>
    </message>
    <message>
        <source>The due list cannot be read: %1</source>
        <translation>The due list cannot be read: %1</translation>
    </message>
    <message>
        <source>passed</source>
        <translation>passed</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>overdue</source>
        <translation>overdue</translation>
    </message>
    <message>
        <source>never verified</source>
        <translation>never verified</translation>
    </message>
    <message>
        <source>due</source>
        <translation>due</translation>
    </message>
</context>
<context>
    <name>zelcor::LiveReadingPanel</name>
    <message>
        <source>Live reading</source>
        <translation>Live reading</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>DUT(hex)_H</source>
        <translation>DUT(hex)_H</translation>
    </message>
    <message>
        <source>DUT(hex)_L</source>
        <translation>DUT(hex)_L</translation>
    </message>
    <message>
        <source>DUT</source>
        <translation>DUT</translation>
    </message>
    <message>
        <source>N-m</source>
        <translation>N-m</translation>
    </message>
    <message>
        <source>Reading On</source>
        <translation>Reading On</translation>
    </message>
    <message>
        <source>Reading OFF</source>
        <translation>Reading Off</translation>
    </message>
    <message>
        <source>Digits after decimal  pt.</source>
        <translation>Digits after decimal pt.</translation>
    </message>
    <message>
        <source>Read Max Torque</source>
        <translation>Read Max Torque</translation>
    </message>
    <message>
        <source>Max Torque</source>
        <translation>Max Torque</translation>
    </message>
    <message>
        <source>Clear Er0/Max Torque</source>
        <translation>Clear Er0/Max Torque</translation>
    </message>
</context>
<context>
    <name>zelcor::NewParaCheck</name>
    <message>
        <source>Message format error</source>
        <translation>Message format error</translation>
    </message>
    <message>
        <source>Syntax error</source>
        <translation>Syntax error</translation>
    </message>
    <message>
        <source>CheckSum error</source>
        <translation>Checksum error</translation>
    </message>
    <message>
        <source>Syntax error:Different WR</source>
        <translation>Syntax error: different WR</translation>
    </message>
    <message>
        <source>Syntax error:Different software version</source>
        <translation>Syntax error: different software version</translation>
    </message>
    <message>
        <source>Syntax error:The wrench is not the same one</source>
        <translation>Syntax error: this is not the same wrench</translation>
    </message>
    <message>
        <source>Syntax error:Factory code error</source>
        <translation>Syntax error: wrong factory code</translation>
    </message>
    <message>
        <source>Syntax error:The wrench is not the same one or decimal point Err</source>
        <translation>Syntax error: this is not the same wrench, or the decimal point is wrong</translation>
    </message>
    <message>
        <source>Syntax error:Check CW/CCW direction</source>
        <translation>Syntax error: check the CW/CCW direction</translation>
    </message>
    <message>
        <source>Syntax error:New parameter error</source>
        <translation>Syntax error: wrong new parameters</translation>
    </message>
</context>
<context>
    <name>zelcor::ParameterMemory</name>
    <message>
        <source>29H: 保留給  fgauge</source>
        <translation>29H: reserved for fgauge</translation>
    </message>
    <message>
        <source>2AH:保留給   fgauge</source>
        <translation>2AH: reserved for fgauge</translation>
    </message>
</context>
<context>
    <name>zelcor::ParameterSetPanel</name>
    <message>
        <source>Parameter set</source>
        <translation>Parameter set</translation>
    </message>
    <message>
        <source>Get</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>The parameter request of the last Get</source>
        <translation>The parameter request of the last Get</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>VIH</source>
        <translation>VIH</translation>
    </message>
    <message>
        <source>VIL</source>
        <translation>VIL</translation>
    </message>
    <message>
        <source>VAH</source>
        <translation>VAH</translation>
    </message>
    <message>
        <source>VAL</source>
        <translation>VAL</translation>
    </message>
    <message>
        <source>New Parameters</source>
        <translation>New Parameters</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Reading.....</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Writing.....</source>
        <translation>Writing...</translation>
    </message>
    <message>
        <source>Make sure the dircetion(CW/CCW) and the digits after decimal pt.</source>
        <translation>Make sure the direction (CW/CCW) and the digits after the decimal point are right.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Are you sure?<byte value="xd"/>
Note:Make sure the dircetion(CW/CCW) and the digits after decimal point.</source>
        <translation>Are you sure?<byte value="xd"/>
Note: make sure the direction (CW/CCW) and the digits after the decimal point are right.</translation>
    </message>
    <message>
        <source>Warning!!!</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>zelcor::PasteBox</name>
    <message>
        <source>The text to paste has %1 characters; this box takes at most %2.<byte value="xd"/>
Nothing has been pasted.</source>
        <translation>The text to paste has %1 characters; this box takes at most %2.<byte value="xd"/>
Nothing has been pasted.</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
</context>
<context>
    <name>zelcor::PortComboBox</name>
    <message>
        <source>Serial number %1</source>
        <translation>Serial number %1</translation>
    </message>
</context>
<context>
    <name>zelcor::PortPanel</name>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Com No</source>
        <translation>Com No</translation>
    </message>
    <message>
        <source>&amp;Port Open</source>
        <translation>&amp;Port Open</translation>
    </message>
    <message>
        <source>Port &amp;Close</source>
        <translation>Port &amp;Close</translation>
    </message>
    <message>
        <source>A serial line cannot run with %1.</source>
        <translation>A serial line cannot run with %1.</translation>
    </message>
    <message>
        <source>Com %1 does not exit or (1200,8,N,2) is not supported</source>
        <translation>Com %1 does not exist or (1200,8,N,2) is not supported</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Com %1 has gone away: the adapter was unplugged or the device was switched off. The port has been closed; open it again once the device is back.</source>
        <translation>Com %1 has gone away: the adapter was unplugged or the device was switched off. The port has been closed; open it again once the device is back.</translation>
    </message>
    <message>
        <source>Com %1 has gone away: %2. The port has been closed; open it again once the device server is back.</source>
        <translation>Com %1 has gone away: %2. The port has been closed; open it again once the device server is back.</translation>
    </message>
</context>
<context>
    <name>zelcor::RegisterConsole</name>
    <message>
        <source>Register console</source>
        <translation>Register console</translation>
    </message>
    <message>
        <source>Reset 232</source>
        <translation>Reset 232</translation>
    </message>
    <message>
        <source>Send Byte</source>
        <translation>Send Byte</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Addr1</source>
        <translation>Addr1</translation>
    </message>
    <message>
        <source>Addr0</source>
        <translation>Addr0</translation>
    </message>
    <message>
        <source>Data0</source>
        <translation>Data0</translation>
    </message>
    <message>
        <source>Data1</source>
        <translation>Data1</translation>
    </message>
    <message>
        <source>Data2</source>
        <translation>Data2</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>timRecvTimeOut</source>
        <translation>timRecvTimeOut</translation>
    </message>
    <message>
        <source>Error message</source>
        <translation>Error message</translation>
    </message>
    <message>
        <source>Clr Hex</source>
        <translation>Clear Hex</translation>
    </message>
    <message>
        <source>Transmitted(HEX)</source>
        <translation>Transmitted (hex)</translation>
    </message>
    <message>
        <source>Recived(HEX)</source>
        <translation>Received (hex)</translation>
    </message>
    <message>
        <source>read addr1 error</source>
        <translation>Read Addr1: </translation>
    </message>
    <message>
        <source>read addr0 error</source>
        <translation>Read Addr0: </translation>
    </message>
    <message>
        <source>write addr1 error</source>
        <translation>Write Addr1: </translation>
    </message>
    <message>
        <source>write addr0 error</source>
        <translation>Write Addr0: </translation>
    </message>
    <message>
        <source>write data error</source>
        <translation>Write Data: </translation>
    </message>
    <message>
        <source>Enter the hex-value 00~FF.   </source>
        <translation>Send Byte: </translation>
    </message>
    <message>
        <source>Parameter name</source>
        <translation>Parameter name</translation>
    </message>
</context>
<context>
    <name>zelcor::TorquePlot</name>
    <message>
        <source>Save as CSV</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>Time (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>Torque (N·m)</source>
        <translation>Torque (N·m)</translation>
    </message>
    <message>
        <source>Save as CSV…</source>
        <translation>Save as CSV…</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>The torque could not be saved to %1:<byte value="xd"/>
%2</source>
        <translation>The torque could not be saved to %1:<byte value="xd"/>
%2</translation>
    </message>
</context>
<context>
    <name>zelcor::Verification</name>
    <message>
        <source>No reading came from the tester: pull again. %1</source>
        <translation>No reading came from the tester: pull again. %1</translation>
    </message>
    <message>
        <source>Waiting for the reference reading of this pull: %1</source>
        <translation>Waiting for the reference reading of this pull: %1</translation>
    </message>
    <message>
        <source>Verification ended: the link failed</source>
        <translation>Verification ended: the link failed</translation>
    </message>
    <message>
        <source>Verification stopped</source>
        <translation>Verification stopped</translation>
    </message>
    <message>
        <source>Verification passed</source>
        <translation>Verification passed</translation>
    </message>
    <message>
        <source>Verification failed</source>
        <translation>Verification failed</translation>
    </message>
    <message>
        <source>The digits after the point must be 0 to 3.</source>
        <translation>The digits after the point must be 0 to 3.</translation>
    </message>
    <message>
        <source>The maximum must be above 0 N·m.</source>
        <translation>The maximum must be above 0 N·m.</translation>
    </message>
    <message>
        <source>The wrench cannot show a maximum this large with these digits after the point (65535 counts at most).</source>
        <translation>The wrench cannot show a maximum this large with these digits after the point (65535 counts at most).</translation>
    </message>
    <message>
        <source>The points must rise, each above 0 % and at most 100 % of the maximum.</source>
        <translation>The points must rise, each above 0 % and at most 100 % of the maximum.</translation>
    </message>
    <message>
        <source>The readings per point must be 1 to 50.</source>
        <translation>The readings per point must be 1 to 50.</translation>
    </message>
    <message>
        <source>The pre-loads must be 0 to 10.</source>
        <translation>The pre-loads must be 0 to 10.</translation>
    </message>
    <message>
        <source>The permissible deviation must be above 0 % and at most 50 %.</source>
        <translation>The permissible deviation must be above 0 % and at most 50 %.</translation>
    </message>
    <message>
        <source>Name the technician.</source>
        <translation>Name the technician.</translation>
    </message>
    <message>
        <source>The tester&apos;s due date must be a date, YYYY-MM-DD.</source>
        <translation>The tester&apos;s due date must be a date, YYYY-MM-DD.</translation>
    </message>
    <message>
        <source>The time for a tester reading must be 1 to 3600 s.</source>
        <translation>The time for a tester reading must be 1 to 3600 s.</translation>
    </message>
    <message>
        <source>The interval must be 1 to 120 months.</source>
        <translation>The interval must be 1 to 120 months.</translation>
    </message>
    <message>
        <source>Pull CCW to %1 N·m (pre-load %2 of %3)</source>
        <translation>Pull CCW to %1 N·m (pre-load %2 of %3)</translation>
    </message>
    <message>
        <source>Pull to %1 N·m (pre-load %2 of %3)</source>
        <translation>Pull to %1 N·m (pre-load %2 of %3)</translation>
    </message>
    <message>
        <source>Pull CCW to %1 N·m (reading %2 of %3)</source>
        <translation>Pull CCW to %1 N·m (reading %2 of %3)</translation>
    </message>
    <message>
        <source>Pull to %1 N·m (reading %2 of %3)</source>
        <translation>Pull to %1 N·m (reading %2 of %3)</translation>
    </message>
</context>
<context>
    <name>zelcor::VerificationWindow</name>
    <message>
        <source>Point</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>n</source>
        <translation>n</translation>
    </message>
    <message>
        <source>Target N·m</source>
        <translation>Target N·m</translation>
    </message>
    <message>
        <source>Wrench N·m</source>
        <translation>Wrench N·m</translation>
    </message>
    <message>
        <source>Reference N·m</source>
        <translation>Reference N·m</translation>
    </message>
    <message>
        <source>Deviation</source>
        <translation>Deviation</translation>
    </message>
    <message>
        <source>Mean N·m</source>
        <translation>Mean N·m</translation>
    </message>
    <message>
        <source>Largest deviation</source>
        <translation>Largest deviation</translation>
    </message>
    <message>
        <source>Spread</source>
        <translation>Spread</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Verification</source>
        <translation>Verification</translation>
    </message>
    <message>
        <source>Tester: %1</source>
        <translation>Tester: %1</translation>
    </message>
    <message>
        <source>Set up the run and press Start.</source>
        <translation>Set up the run and press Start.</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>The pull is over: read the wrench&apos;s maximum</source>
        <translation>The pull is over: read the wrench&apos;s maximum</translation>
    </message>
    <message>
        <source>reason for repeating</source>
        <translation>reason for repeating</translation>
    </message>
    <message>
        <source>Repeat last</source>
        <translation>Repeat last</translation>
    </message>
    <message>
        <source>Take the last reading again; it is kept, with the reason</source>
        <translation>Take the last reading again; it is kept, with the reason</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>End the run after the current pull, without a verdict</source>
        <translation>End the run after the current pull, without a verdict</translation>
    </message>
    <message>
        <source>Certificate…</source>
        <translation>Certificate…</translation>
    </message>
    <message>
        <source>The run</source>
        <translation>The run</translation>
    </message>
    <message>
        <source>Maximum N·m</source>
        <translation>Maximum N·m</translation>
    </message>
    <message>
        <source>The points in % of the maximum, rising, e.g. 20, 60, 100</source>
        <translation>The points in % of the maximum, rising, e.g. 20, 60, 100</translation>
    </message>
    <message>
        <source>Points %</source>
        <translation>Points %</translation>
    </message>
    <message>
        <source>Readings per point</source>
        <translation>Readings per point</translation>
    </message>
    <message>
        <source>The permissible deviation, ± % of the reference</source>
        <translation>The permissible deviation, ± % of the reference</translation>
    </message>
    <message>
        <source>Permissible deviation ± %</source>
        <translation>Permissible deviation ± %</translation>
    </message>
    <message>
        <source>Pre-loads</source>
        <translation>Pre-loads</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>as found</source>
        <translation>as found</translation>
    </message>
    <message>
        <source>as left</source>
        <translation>as left</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>The digits after the point of the wrench&apos;s reading</source>
        <translation>The digits after the point of the wrench&apos;s reading</translation>
    </message>
    <message>
        <source>Digits after the point</source>
        <translation>Digits after the point</translation>
    </message>
    <message>
        <source>Technician</source>
        <translation>Technician</translation>
    </message>
    <message>
        <source>Reference tester</source>
        <translation>Reference tester</translation>
    </message>
    <message>
        <source>Tester due</source>
        <translation>Tester due</translation>
    </message>
    <message>
        <source>The temperature, for example</source>
        <translation>The temperature, for example</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>Tester&apos;s port</source>
        <translation>Tester&apos;s port</translation>
    </message>
    <message>
        <source>typed</source>
        <translation>typed</translation>
    </message>
    <message>
        <source>The reference tester&apos;s port; &quot;typed&quot;: the technician types each reference reading into its row</source>
        <translation>The reference tester&apos;s port; &quot;typed&quot;: the technician types each reference reading into its row</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a number.</source>
        <translation>%1: &quot;%2&quot; is not a number.</translation>
    </message>
    <message>
        <source>The tester&apos;s line cannot run with %1.</source>
        <translation>The tester&apos;s line cannot run with %1.</translation>
    </message>
    <message>
        <source>The tester&apos;s port &quot;%1&quot; cannot be opened: %2</source>
        <translation>The tester&apos;s port &quot;%1&quot; cannot be opened: %2</translation>
    </message>
    <message>
        <source>Say why the last reading is taken again: type the reason beside &quot;Repeat last&quot;.</source>
        <translation>Say why the last reading is taken again: type the reason beside &quot;Repeat last&quot;.</translation>
    </message>
    <message>
        <source>There is no reading to repeat yet.</source>
        <translation>There is no reading to repeat yet.</translation>
    </message>
    <message>
        <source>repeated: %1</source>
        <translation>repeated: %1</translation>
    </message>
    <message>
        <source>Type the tester&apos;s reading here</source>
        <translation>Type the tester&apos;s reading here</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>PASS</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FAIL</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>%1 N·m (%2 %)</source>
        <translation>%1 N·m (%2 %)</translation>
    </message>
    <message>
        <source>ENDED: the link failed, no verdict</source>
        <translation>ENDED: the link failed, no verdict</translation>
    </message>
    <message>
        <source>STOPPED: no verdict</source>
        <translation>STOPPED: no verdict</translation>
    </message>
    <message>
        <source>PASSED</source>
        <translation>PASSED</translation>
    </message>
    <message>
        <source>FAILED</source>
        <translation>FAILED</translation>
    </message>
    <message>
        <source>Ended without a verdict</source>
        <translation>Ended without a verdict</translation>
    </message>
    <message>
        <source>The reference &quot;%1&quot; is not a torque: type it in N·m, or with its unit (&quot;531.9 lbf.in&quot;).</source>
        <translation>The reference &quot;%1&quot; is not a torque: type it in N·m, or with its unit (&quot;531.9 lbf.in&quot;).</translation>
    </message>
    <message>
        <source>The tester&apos;s port has gone away: %1</source>
        <translation>The tester&apos;s port has gone away: %1</translation>
    </message>
    <message>
        <source>Starting the run…</source>
        <translation>Starting the run…</translation>
    </message>
</context>
<context>
    <name>zelcor::WrenchLink</name>
    <message>
        <source>The exchange log cannot be written: %1<byte value="xd"/>
The session goes on without it.</source>
        <translation>The exchange log cannot be written: %1<byte value="xd"/>
The session goes on without it.</translation>
    </message>
    <message>
        <source>Exchange Log</source>
        <translation>Exchange Log</translation>
    </message>
    <message>
        <source>Another exchange with the wrench is still running.<byte value="xd"/>
This request was not sent.</source>
        <translation>Another exchange with the wrench is still running.<byte value="xd"/>
This request was not sent.</translation>
    </message>
    <message>
        <source>Link Busy</source>
        <translation>Link Busy</translation>
    </message>
    <message>
        <source>Data Receving is time-out</source>
        <translation>Data receiving timed out</translation>
    </message>
    <message>
        <source>Data Receving is not enough</source>
        <translation>Too little data received</translation>
    </message>
    <message>
        <source>Data Receving has an error(syntax err)</source>
        <translation>The data received has an error (syntax error)</translation>
    </message>
    <message>
        <source>Communication Error</source>
        <translation>Communication Error</translation>
    </message>
    <message>
        <source>Step1:Connect Rs232 cable firmly.<byte value="xd"/>
Step2:Make sure the wrench is on &apos;send&apos;state.<byte value="xd"/>
Step3:Try again!</source>
        <translation>Step 1: Connect the RS232 cable firmly.<byte value="xd"/>
Step 2: Make sure the wrench is in &apos;send&apos; state.<byte value="xd"/>
Step 3: Try again.</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>zelcor::WrenchSession</name>
    <message>
        <source>The pause &quot;%1&quot; cannot be used: it must be a whole number of milliseconds from 1 to 32767.<byte value="xd"/>
The test has not been started.</source>
        <translation>The pause &quot;%1&quot; cannot be used: it must be a whole number of milliseconds from 1 to 32767.<byte value="xd"/>
The test has not been started.</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Data Receving Err</source>
        <translation>Data receiving error</translation>
    </message>
    <message>
        <source>Exit for Communication Error</source>
        <translation>Stopped by a communication error</translation>
    </message>
    <message>
        <source>Communication exit</source>
        <translation>Communication stopped</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Cell %1 %2.<byte value="xd"/>
Nothing from this cell on has been written.</source>
        <translation>Cell %1 %2.<byte value="xd"/>
Nothing from this cell on has been written.</translation>
    </message>
    <message>
        <source>Invalid Cell</source>
        <translation>Invalid Cell</translation>
    </message>
    <message>
        <source>The wrench&apos;s identity could not be read at %1.<byte value="xd"/>
Nothing has been written.</source>
        <translation>The wrench&apos;s identity could not be read at %1.<byte value="xd"/>
Nothing has been written.</translation>
    </message>
    <message>
        <source>The status byte (10H) could not be read.<byte value="xd"/>
Nothing has been written: the error flag is not cleared.</source>
        <translation>The status byte (10H) could not be read.<byte value="xd"/>
Nothing has been written: the error flag is not cleared.</translation>
    </message>
    <message>
        <source>Error!!!</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>This parameter set was issued for the wrench %1; the wrench connected is %2.<byte value="xd"/>
Write it into this wrench all the same?</source>
        <translation>This parameter set was issued for the wrench %1; the wrench connected is %2.<byte value="xd"/>
Write it into this wrench all the same?</translation>
    </message>
    <message>
        <source>Warning!!!</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>zelcor::frmRs232SetCmd</name>
    <message>
        <source>Zelcor V1.3</source>
        <translation>Zelcor V1.3</translation>
    </message>
    <message>
        <source>Windows</source>
        <translation>Windows</translation>
    </message>
    <message>
        <source>cmdRs232WRCal</source>
        <translation>Wrench Calibration</translation>
    </message>
    <message>
        <source>cmdRs232WRPara</source>
        <translation>Wrench Parameters</translation>
    </message>
    <message>
        <source>Command1</source>
        <translation>Wrench Parameters</translation>
    </message>
    <message>
        <source>End</source>
        <translation>End</translation>
    </message>
    <message>
        <source>History</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Hw ver: rs232 v2.26</source>
        <translation>Hw ver: rs232 v2.26</translation>
    </message>
    <message>
        <source>Verification</source>
        <translation>Verification</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>Certificate</translation>
    </message>
</context>
<context>
    <name>zelcor::frmRs232WRCal</name>
    <message>
        <source>1位</source>
        <translation>1 digit</translation>
    </message>
    <message>
        <source>2位</source>
        <translation>2 digits</translation>
    </message>
    <message>
        <source>3位</source>
        <translation>3 digits</translation>
    </message>
    <message>
        <source>1 digit</source>
        <translation>1 digit</translation>
    </message>
    <message>
        <source>2 digits</source>
        <translation>2 digits</translation>
    </message>
    <message>
        <source>3 digits</source>
        <translation>3 digits</translation>
    </message>
    <message>
        <source>扳手校正命令</source>
        <translation>Wrench Calibration Commands</translation>
    </message>
    <message>
        <source>扳手小數位</source>
        <translation>Wrench decimal places</translation>
    </message>
    <message>
        <source>Wrench decimal places</source>
        <translation>Wrench decimal places</translation>
    </message>
    <message>
        <source>gK_CWI_H</source>
        <translation>gK_CWI_H</translation>
    </message>
    <message>
        <source>gK_CWI_L</source>
        <translation>gK_CWI_L</translation>
    </message>
    <message>
        <source>gK_CWA_H</source>
        <translation>gK_CWA_H</translation>
    </message>
    <message>
        <source>gK_CWA_L</source>
        <translation>gK_CWA_L</translation>
    </message>
    <message>
        <source>gStatusEp</source>
        <translation>gStatusEp</translation>
    </message>
    <message>
        <source>gK_CCWI_H</source>
        <translation>gK_CCWI_H</translation>
    </message>
    <message>
        <source>gK_CCWI_L</source>
        <translation>gK_CCWI_L</translation>
    </message>
    <message>
        <source>gK_CCWA_H</source>
        <translation>gK_CCWA_H</translation>
    </message>
    <message>
        <source>gK_CCWA_L</source>
        <translation>gK_CCWA_L</translation>
    </message>
    <message>
        <source>CW minus</source>
        <translation>CW minus</translation>
    </message>
    <message>
        <source>CCW minus</source>
        <translation>CCW minus</translation>
    </message>
    <message>
        <source>讀取校正參數</source>
        <translation>Read Calibration Parameters</translation>
    </message>
    <message>
        <source>Read Calibration Parameters</source>
        <translation>Read Calibration Parameters</translation>
    </message>
    <message>
        <source>Reset 扳手RS232模式</source>
        <translation>Reset Wrench RS232 Mode</translation>
    </message>
    <message>
        <source>Reset Wrench RS232 Mode</source>
        <translation>Reset Wrench RS232 Mode</translation>
    </message>
    <message>
        <source>離開 扳手RS232模式</source>
        <translation>Leave Wrench RS232 Mode</translation>
    </message>
    <message>
        <source>Leave Wrench RS232 Mode</source>
        <translation>Leave Wrench RS232 Mode</translation>
    </message>
    <message>
        <source>讀取扳手值(進入校正模式)</source>
        <translation>Read Wrench Values (Enter Calibration Mode)</translation>
    </message>
    <message>
        <source>Read Wrench Values (Enter Calibration Mode)</source>
        <translation>Read Wrench Values (Enter Calibration Mode)</translation>
    </message>
    <message>
        <source>離開校正模式</source>
        <translation>Leave Calibration Mode</translation>
    </message>
    <message>
        <source>Leave Calibration Mode</source>
        <translation>Leave Calibration Mode</translation>
    </message>
    <message>
        <source>計算扳手扭力值</source>
        <translation>Calculate Wrench Torque</translation>
    </message>
    <message>
        <source>Calculate Wrench Torque</source>
        <translation>Calculate Wrench Torque</translation>
    </message>
    <message>
        <source>a_Ad_Ajust_H</source>
        <translation>a_Ad_Ajust_H</translation>
    </message>
    <message>
        <source>a_Ad_Ajust_L</source>
        <translation>a_Ad_Ajust_L</translation>
    </message>
    <message>
        <source>gStatus</source>
        <translation>gStatus</translation>
    </message>
    <message>
        <source>Torque value(N-m)</source>
        <translation>Torque value (N-m)</translation>
    </message>
    <message>
        <source>INV</source>
        <translation>INV</translation>
    </message>
    <message>
        <source>Pause between two readings, in ms (1 to 32767)</source>
        <translation>Pause between two readings, in ms (1 to 32767)</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Digits after the decimal point</source>
        <translation>Digits after the decimal point</translation>
    </message>
</context>
<context>
    <name>zelcor::frmRs232WRPara</name>
    <message>
        <source>29H: reserved for fgauge</source>
        <translation>29H: reserved for fgauge</translation>
    </message>
    <message>
        <source>2AH: reserved for fgauge</source>
        <translation>2AH: reserved for fgauge</translation>
    </message>
    <message>
        <source>扳手參數</source>
        <translation>Wrench Parameters</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>讀取全部</source>
        <translation>Read All</translation>
    </message>
    <message>
        <source>Read All</source>
        <translation>Read All</translation>
    </message>
    <message>
        <source>載入參數</source>
        <translation>Load Parameters</translation>
    </message>
    <message>
        <source>Load Parameters</source>
        <translation>Load Parameters</translation>
    </message>
    <message>
        <source>寫入扳手</source>
        <translation>Write to Wrench</translation>
    </message>
    <message>
        <source>Write to Wrench</source>
        <translation>Write to Wrench</translation>
    </message>
    <message>
        <source>全填FF</source>
        <translation>Fill All FF</translation>
    </message>
    <message>
        <source>Fill All FF</source>
        <translation>Fill All FF</translation>
    </message>
    <message>
        <source>Write All FF</source>
        <translation>Write All FF</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>NO: %1 Reading</source>
        <translation>No. %1: reading</translation>
    </message>
    <message>
        <source>NO: %1write</source>
        <translation>No. %1: writing</translation>
    </message>
    <message>
        <source>NO: %1</source>
        <translation>No. %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>Failed</translation>
    </message>
</context>
<context>
    <name>zelcor::records::RecordListModel</name>
    <message>
        <source>This record cannot be read (%1).</source>
        <translation>This record cannot be read (%1).</translation>
    </message>
</context>
</TS>
