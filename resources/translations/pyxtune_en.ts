<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CLEDServicesDlg</name>
    <message>
        <source>LED Services</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start/Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CProfileDlg</name>
    <message>
        <source>Profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSetDialog</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do not run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run and minimize to system tray</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LED Services</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainToolTips</name>
    <message>
        <source>Minimization the Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extreme Mode<byte value="xd"/>
     -Core OC (Margin we tested and kept for all cards)<byte value="xd"/>
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Performance mode<byte value="xd"/>
     -Core OC 3%<byte value="xd"/>
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Common mode<byte value="xd"/>
     -Core/Power target at card Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom Mode<byte value="xd"/>
     -Core/Profile at users settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Used to save current settings or load saved settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply all settings to the graphics card.
Settings are only effective when the apply button is pressed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore all settings to system default.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。</source>
        <translation>Warning: overclocking a graphics card can make the system unstable, garble the screen, freeze the computer or even damage the hardware. Please proceed with care.</translation>
    </message>
    <message>
        <source>Hardware settings applied!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PYXTUNE has been started by other user.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add font failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PYXTUNE not support this vga card.(Is not Kepler)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PYXTUNE not support this vag card.(Boost clock is zero)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CAboutDlg</name>
    <message>
        <source>关于 Vorn</source>
        <translation>About Vorn</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CVornDlg</name>
    <message>
        <source>Minimize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关于 Vorn(&amp;A)...</source>
        <translation>&amp;About Vorn...</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SIMULATED GPU</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::TrayIcon</name>
    <message>
        <source>Main Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pyxtune (simulated GPU)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
