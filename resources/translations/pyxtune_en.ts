<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CFanCurvePlot</name>
    <message>
        <source>auto</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CLEDServicesDlg</name>
    <message>
        <source>On Linux the Pyxtune service keeps the lighting running when Pyxtune is closed, and no Pyxtune service answers. Enable it with: sudo systemctl enable --now pyxtuned.socket</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The LED service LumoraServices comes from an earlier version of Pyxtune; on Linux the Pyxtune service does its work. Remove it with: sudo systemctl disable --now LumoraServices.service, then sudo rm /etc/systemd/system/LumoraServices.service</source>
        <translation type="unfinished"></translation>
    </message>
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
    <message>
        <source>The profile could not be saved to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The profile %1 could not be read or holds no settings for these cards; nothing was changed.</source>
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
    <message>
        <source>Revert after (seconds):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fans stuck? Run: %1 fan auto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The choices could not be saved to &quot;%1&quot;. They hold until Pyxtune exits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LED Services Installed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LED Uninsatlled!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return fans to automatic when Pyxtune exits</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ask before keeping an applied tuning</source>
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
    <name>MainWindow</name>
    <message>
        <source>The cards did not take all of the old settings back.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The settings were applied but could not be saved for the next start (%1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The lighting was not reset everywhere. Refused writes:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The other controllers were reset.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The profile was not loaded: these values are outside the cards&apos; ranges.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The profile was loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This card has no lighting controller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1 of %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not sent, outside the card&apos;s range:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲线...</source>
        <translation>Curve...</translation>
    </message>
    <message>
        <source>curve</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom&apos;s fan follows the GPU&apos;s temperature by a curve you draw.</source>
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
        <source>PYXTUNE has been started by other user (%1).</source>
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
    <message>
        <source>Keep these settings? They are reverted in %1 s.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not every setting was applied.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1 refused:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The other settings were applied.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1 reached %2 C, its thermal limit of %3 C, while a fan was fixed below full speed: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1&apos;s temperature could not be read %2 times in a row while a fan was fixed: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the fan is back under the card&apos;s own control.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the card refused to take the fan back: %1. Run &quot;pyxtunectl fan auto&quot; or lower the card&apos;s load.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1&apos;s temperature could not be read %2 times in a row, so its fan curve stopped: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1&apos;s fan curve stopped, because the card refused %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The saved settings were not applied, because the last start that applied them did not finish. Apply them again, or load another profile.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>start success.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stop success.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: no folder for them could be found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: %1 is a link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: %1 is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: %1 is owned by another user (uid %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: %1 can be written by other users</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings are not used: %1 cannot be examined (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continue? [y/N]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep these settings? [y/N] (reverted in %1 s)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Skin</name>
    <message>
        <source>APPLY</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RESET</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU LOAD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PRESET MODE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clocks, power and fan follow the chosen mode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose CUSTOM to tune them by hand.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU TUNING  ·  MONITOR  ·  LIGHTING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU CLOCK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Live, refreshed every second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MEMORY CLOCK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TEMPERATURE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAN SPEED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TUNING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CORE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MEMORY</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>POWER</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MHz offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>% target</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>% speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LIGHTING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ZONE MODE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Static</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rainbow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colour cycle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>EFFECT MODE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Marquee</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cycle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cycle br.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Breathe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blink</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Meteor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>EFFECT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lights off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>EXTREME</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PERFORMANCE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>COMMON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CUSTOM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tested core margin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Core clock +3 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Card defaults</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your own settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changes reach the card on Apply</source>
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
    <message>
        <source>Settings: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CFanCurveDlg</name>
    <message>
        <source>Fan curve</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Temperature (°C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fan (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Below the first point: hand the fan back to the card&apos;s control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This fan curve cannot be used: %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CHistoryDlg</name>
    <message>
        <source>Monitor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last %1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GPU:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CHistoryPlot</name>
    <message>
        <source>Graphics clock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory clock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Power draw</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-%1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CKeepDialog</name>
    <message>
        <source>&amp;Keep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Revert</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CVornApp</name>
    <message>
        <source>Pyxtune shows these cards but cannot change them: the driver takes changes from root only, and no Pyxtune service answers. To tune as this user: sudo systemctl enable --now pyxtuned.socket, then sudo adduser $USER pyxtune, and log in again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::CVornDlg</name>
    <message>
        <source>Monitor...</source>
        <translation type="unfinished"></translation>
    </message>
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
    <message>
        <source>SERVICE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SIMULATED GPU · SERVICE</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::ServiceWaitIndicator</name>
    <message>
        <source>Waiting for the Pyxtune service. If the desktop asks for an administrator&apos;s password, give it there.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>pyx::TrayIcon</name>
    <message>
        <source>Monitor</source>
        <translation type="unfinished"></translation>
    </message>
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
