<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CFanCurvePlot</name>
    <message>
        <source>auto</source>
        <translation>自动</translation>
    </message>
</context>
<context>
    <name>CLEDServicesDlg</name>
    <message>
        <source>On Linux the Pyxtune service keeps the lighting running when Pyxtune is closed, and no Pyxtune service answers. Enable it with: sudo systemctl enable --now pyxtuned.socket</source>
        <translation>在 Linux 上，Pyxtune 服务会在 Pyxtune 关闭后保持灯光运行，但当前没有 Pyxtune 服务响应。请用以下命令启用它：sudo systemctl enable --now pyxtuned.socket</translation>
    </message>
    <message>
        <source>The LED service LumoraServices comes from an earlier version of Pyxtune; on Linux the Pyxtune service does its work. Remove it with: sudo systemctl disable --now LumoraServices.service, then sudo rm /etc/systemd/system/LumoraServices.service</source>
        <translation>LED 服务 LumoraServices 来自较早版本的 Pyxtune；在 Linux 上由 Pyxtune 服务完成它的工作。请用以下命令删除它：sudo systemctl disable --now LumoraServices.service，然后 sudo rm /etc/systemd/system/LumoraServices.service</translation>
    </message>
    <message>
        <source>LED Services</source>
        <translation>LED 服务</translation>
    </message>
    <message>
        <source>Start/Stop</source>
        <translation>启动/停止</translation>
    </message>
    <message>
        <source>Installation</source>
        <translation>安装</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>卸载</translation>
    </message>
</context>
<context>
    <name>CProfileDlg</name>
    <message>
        <source>Profile</source>
        <translation>配置文件</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>载入</translation>
    </message>
    <message>
        <source>The profile could not be saved to %1.</source>
        <translation>配置文件无法保存到 %1。</translation>
    </message>
    <message>
        <source>The profile %1 could not be read or holds no settings for these cards; nothing was changed.</source>
        <translation>无法读取配置文件 %1，或其中没有这些显卡的设置；未做任何更改。</translation>
    </message>
</context>
<context>
    <name>CSetDialog</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Do not run</source>
        <translation>不运行</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>Run and minimize to system tray</source>
        <translation>运行并最小化到系统托盘</translation>
    </message>
    <message>
        <source>LED Services</source>
        <translation>LED 服务</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Revert after (seconds):</source>
        <translation>自动恢复时间（秒）：</translation>
    </message>
    <message>
        <source>Fans stuck? Run: %1 fan auto</source>
        <translation>风扇卡住了？请运行：%1 fan auto</translation>
    </message>
    <message>
        <source>The choices could not be saved to &quot;%1&quot;. They hold until Pyxtune exits.</source>
        <translation>选项无法保存到“%1”。在 Pyxtune 退出之前仍然有效。</translation>
    </message>
    <message>
        <source>LED Services Installed!</source>
        <translation>LED 服务已安装！</translation>
    </message>
    <message>
        <source>LED Uninsatlled!</source>
        <translation>LED 服务未安装！</translation>
    </message>
    <message>
        <source>Return fans to automatic when Pyxtune exits</source>
        <translation>Pyxtune 退出时将风扇恢复为自动控制</translation>
    </message>
    <message>
        <source>Ask before keeping an applied tuning</source>
        <translation>保留已应用的调校前先询问</translation>
    </message>
</context>
<context>
    <name>MainToolTips</name>
    <message>
        <source>Minimization the Window</source>
        <translation>最小化窗口</translation>
    </message>
    <message>
        <source>Close the Window</source>
        <translation>关闭窗口</translation>
    </message>
    <message>
        <source>Extreme Mode<byte value="xd"/>
     -Core OC (Margin we tested and kept for all cards)<byte value="xd"/>
</source>
        <translation>极限模式<byte value="xd"/>
     -核心超频（经我们测试、适用于所有显卡的余量）<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>Performance mode<byte value="xd"/>
     -Core OC 3%<byte value="xd"/>
</source>
        <translation>性能模式<byte value="xd"/>
     -核心超频 3%<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>Common mode<byte value="xd"/>
     -Core/Power target at card Default</source>
        <translation>普通模式<byte value="xd"/>
     -核心/功耗目标为显卡默认值</translation>
    </message>
    <message>
        <source>Custom Mode<byte value="xd"/>
     -Core/Profile at users settings</source>
        <translation>自定义模式<byte value="xd"/>
     -核心/配置为用户设置</translation>
    </message>
    <message>
        <source>Used to save current settings or load saved settings.</source>
        <translation>用于保存当前设置或载入已保存的设置。</translation>
    </message>
    <message>
        <source>Apply all settings to the graphics card.
Settings are only effective when the apply button is pressed.</source>
        <translation>将所有设置应用到显卡。
只有按下应用按钮后设置才会生效。</translation>
    </message>
    <message>
        <source>Restore all settings to system default.</source>
        <translation>将所有设置恢复为系统默认值。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>The cards did not take all of the old settings back.</source>
        <translation>显卡未能恢复全部原有设置。</translation>
    </message>
    <message>
        <source>The settings were applied but could not be saved for the next start (%1).</source>
        <translation>设置已应用，但无法保存以供下次启动使用（%1）。</translation>
    </message>
    <message>
        <source>The lighting was not reset everywhere. Refused writes:</source>
        <translation>灯光未能全部重置。被拒绝的写入：</translation>
    </message>
    <message>
        <source>The other controllers were reset.</source>
        <translation>其他控制器已重置。</translation>
    </message>
    <message>
        <source>The profile was not loaded: these values are outside the cards&apos; ranges.</source>
        <translation>配置文件未载入：以下数值超出了显卡的范围。</translation>
    </message>
    <message>
        <source>The profile was loaded.</source>
        <translation>配置文件已载入。</translation>
    </message>
    <message>
        <source>This card has no lighting controller.</source>
        <translation>此显卡没有灯光控制器。</translation>
    </message>
    <message>
        <source>GPU %1 of %2: %3</source>
        <translation>GPU %1/%2：%3</translation>
    </message>
    <message>
        <source>GPU %1 of %2</source>
        <translation>GPU %1/%2</translation>
    </message>
    <message>
        <source>Not sent, outside the card&apos;s range:</source>
        <translation>未发送，超出显卡的范围：</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>%1 无法写入：%2</translation>
    </message>
    <message>
        <source>曲线...</source>
        <translation>曲线...</translation>
    </message>
    <message>
        <source>curve</source>
        <translation>曲线</translation>
    </message>
    <message>
        <source>Custom&apos;s fan follows the GPU&apos;s temperature by a curve you draw.</source>
        <translation>自定义模式的风扇按您绘制的曲线随 GPU 温度变化。</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。</source>
        <translation>警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。</translation>
    </message>
    <message>
        <source>Hardware settings applied!</source>
        <translation>硬件设置已应用！</translation>
    </message>
    <message>
        <source>PYXTUNE has been started by other user.</source>
        <translation>PYXTUNE 已由其他用户启动。</translation>
    </message>
    <message>
        <source>PYXTUNE has been started by other user (%1).</source>
        <translation>PYXTUNE 已由其他用户（%1）启动。</translation>
    </message>
    <message>
        <source>Add font failed!</source>
        <translation>添加字体失败！</translation>
    </message>
    <message>
        <source>PYXTUNE not support this vga card.(Is not Kepler)</source>
        <translation>PYXTUNE 不支持此显卡。（不是 Kepler 架构）</translation>
    </message>
    <message>
        <source>PYXTUNE not support this vag card.(Boost clock is zero)</source>
        <translation>PYXTUNE 不支持此显卡。（Boost 频率为零）</translation>
    </message>
    <message>
        <source>Keep these settings? They are reverted in %1 s.</source>
        <translation>保留这些设置吗？%1 秒后将自动恢复。</translation>
    </message>
    <message>
        <source>Not every setting was applied.</source>
        <translation>并非所有设置都已应用。</translation>
    </message>
    <message>
        <source>GPU %1 refused:</source>
        <translation>GPU %1 拒绝了：</translation>
    </message>
    <message>
        <source>The other settings were applied.</source>
        <translation>其他设置已应用。</translation>
    </message>
    <message>
        <source>GPU %1 reached %2 C, its thermal limit of %3 C, while a fan was fixed below full speed: %4</source>
        <translation>风扇被固定在全速以下时，GPU %1 达到 %2 °C，即其温度上限 %3 °C：%4</translation>
    </message>
    <message>
        <source>GPU %1&apos;s temperature could not be read %2 times in a row while a fan was fixed: %3</source>
        <translation>风扇被固定期间，连续 %2 次无法读取 GPU %1 的温度：%3</translation>
    </message>
    <message>
        <source>the fan is back under the card&apos;s own control.</source>
        <translation>风扇已交还显卡自行控制。</translation>
    </message>
    <message>
        <source>the card refused to take the fan back: %1. Run &quot;pyxtunectl fan auto&quot; or lower the card&apos;s load.</source>
        <translation>显卡拒绝收回风扇控制：%1。请运行 &quot;pyxtunectl fan auto&quot; 或降低显卡负载。</translation>
    </message>
    <message>
        <source>GPU %1&apos;s temperature could not be read %2 times in a row, so its fan curve stopped: %3</source>
        <translation>GPU %1 的温度连续 %2 次无法读取，其风扇曲线已停止：%3</translation>
    </message>
    <message>
        <source>GPU %1&apos;s fan curve stopped, because the card refused %2: %3</source>
        <translation>GPU %1 的风扇曲线已停止，因为显卡拒绝了 %2：%3</translation>
    </message>
    <message>
        <source>The saved settings were not applied, because the last start that applied them did not finish. Apply them again, or load another profile.</source>
        <translation>已保存的设置未被应用，因为上次应用这些设置的启动没有完成。请重新应用，或载入其他配置文件。</translation>
    </message>
    <message>
        <source>start success.</source>
        <translation>启动成功。</translation>
    </message>
    <message>
        <source>stop success.</source>
        <translation>停止成功。</translation>
    </message>
    <message>
        <source>Settings are not used: no folder for them could be found</source>
        <translation>未使用设置：找不到可存放设置的文件夹</translation>
    </message>
    <message>
        <source>Settings are not used: %1 is a link</source>
        <translation>未使用设置：%1 是一个链接</translation>
    </message>
    <message>
        <source>Settings are not used: %1 is not a folder</source>
        <translation>未使用设置：%1 不是文件夹</translation>
    </message>
    <message>
        <source>Settings are not used: %1 is owned by another user (uid %2)</source>
        <translation>未使用设置：%1 属于另一个用户（uid %2）</translation>
    </message>
    <message>
        <source>Settings are not used: %1 can be written by other users</source>
        <translation>未使用设置：其他用户可以写入 %1</translation>
    </message>
    <message>
        <source>Settings are not used: %1 cannot be examined (%2)</source>
        <translation>未使用设置：无法检查 %1（%2）</translation>
    </message>
    <message>
        <source>Continue? [y/N]</source>
        <translation>是否继续？[y/N]</translation>
    </message>
    <message>
        <source>Keep these settings? [y/N] (reverted in %1 s)</source>
        <translation>保留这些设置吗？[y/N]（%1 秒后自动恢复）</translation>
    </message>
</context>
<context>
    <name>Skin</name>
    <message>
        <source>APPLY</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>RESET</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>GPU LOAD</source>
        <translation>GPU 负载</translation>
    </message>
    <message>
        <source>PRESET MODE</source>
        <translation>预设模式</translation>
    </message>
    <message>
        <source>Clocks, power and fan follow the chosen mode.</source>
        <translation>频率、功耗和风扇随所选模式而定。</translation>
    </message>
    <message>
        <source>Choose CUSTOM to tune them by hand.</source>
        <translation>选择“自定义”可手动调校。</translation>
    </message>
    <message>
        <source>GPU TUNING  ·  MONITOR  ·  LIGHTING</source>
        <translation>GPU 调校  ·  监控  ·  灯光</translation>
    </message>
    <message>
        <source>GPU CLOCK</source>
        <translation>GPU 频率</translation>
    </message>
    <message>
        <source>Live, refreshed every second</source>
        <translation>实时，每秒刷新</translation>
    </message>
    <message>
        <source>MEMORY CLOCK</source>
        <translation>显存频率</translation>
    </message>
    <message>
        <source>TEMPERATURE</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>FAN SPEED</source>
        <translation>风扇转速</translation>
    </message>
    <message>
        <source>TUNING</source>
        <translation>调校</translation>
    </message>
    <message>
        <source>CORE</source>
        <translation>核心</translation>
    </message>
    <message>
        <source>MEMORY</source>
        <translation>显存</translation>
    </message>
    <message>
        <source>POWER</source>
        <translation>功耗</translation>
    </message>
    <message>
        <source>FAN</source>
        <translation>风扇</translation>
    </message>
    <message>
        <source>MHz offset</source>
        <translation>偏移 MHz</translation>
    </message>
    <message>
        <source>% target</source>
        <translation>目标 %</translation>
    </message>
    <message>
        <source>% speed</source>
        <translation>转速 %</translation>
    </message>
    <message>
        <source>LIGHTING</source>
        <translation>灯光</translation>
    </message>
    <message>
        <source>ZONE MODE</source>
        <translation>区域模式</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>常亮</translation>
    </message>
    <message>
        <source>Rainbow</source>
        <translation>彩虹</translation>
    </message>
    <message>
        <source>Colour cycle</source>
        <translation>色彩循环</translation>
    </message>
    <message>
        <source>Breathing</source>
        <translation>呼吸</translation>
    </message>
    <message>
        <source>All off</source>
        <translation>全部关闭</translation>
    </message>
    <message>
        <source>EFFECT MODE</source>
        <translation>灯效模式</translation>
    </message>
    <message>
        <source>Ripple</source>
        <translation>波纹</translation>
    </message>
    <message>
        <source>Marquee</source>
        <translation>跑马灯</translation>
    </message>
    <message>
        <source>Cycle</source>
        <translation>循环</translation>
    </message>
    <message>
        <source>Cycle br.</source>
        <translation>循环呼吸</translation>
    </message>
    <message>
        <source>Breathe</source>
        <translation>呼吸</translation>
    </message>
    <message>
        <source>Blink</source>
        <translation>闪烁</translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation>极光</translation>
    </message>
    <message>
        <source>Meteor</source>
        <translation>流星</translation>
    </message>
    <message>
        <source>EFFECT</source>
        <translation>灯效</translation>
    </message>
    <message>
        <source>Flash</source>
        <translation>闪光</translation>
    </message>
    <message>
        <source>Lights off</source>
        <translation>关灯</translation>
    </message>
    <message>
        <source>EXTREME</source>
        <translation>极限</translation>
    </message>
    <message>
        <source>PERFORMANCE</source>
        <translation>性能</translation>
    </message>
    <message>
        <source>COMMON</source>
        <translation>普通</translation>
    </message>
    <message>
        <source>CUSTOM</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>Tested core margin</source>
        <translation>经测试的核心余量</translation>
    </message>
    <message>
        <source>Core clock +3 %</source>
        <translation>核心频率 +3 %</translation>
    </message>
    <message>
        <source>Card defaults</source>
        <translation>显卡默认值</translation>
    </message>
    <message>
        <source>Your own settings</source>
        <translation>您自己的设置</translation>
    </message>
    <message>
        <source>Changes reach the card on Apply</source>
        <translation>按“应用”后更改才写入显卡</translation>
    </message>
</context>
<context>
    <name>pyx::CAboutDlg</name>
    <message>
        <source>关于 Vorn</source>
        <translation>关于 Vorn</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
    <message>
        <source>Settings: %1</source>
        <translation>设置：%1</translation>
    </message>
</context>
<context>
    <name>pyx::CFanCurveDlg</name>
    <message>
        <source>Fan curve</source>
        <translation>风扇曲线</translation>
    </message>
    <message>
        <source>Temperature (°C)</source>
        <translation>温度 (°C)</translation>
    </message>
    <message>
        <source>Fan (%1)</source>
        <translation>风扇 (%1)</translation>
    </message>
    <message>
        <source>Add point</source>
        <translation>添加点</translation>
    </message>
    <message>
        <source>Remove point</source>
        <translation>删除点</translation>
    </message>
    <message>
        <source>Below the first point: hand the fan back to the card&apos;s control</source>
        <translation>低于第一个点时：将风扇交还显卡自行控制</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>This fan curve cannot be used: %1.</source>
        <translation>无法使用此风扇曲线：%1。</translation>
    </message>
</context>
<context>
    <name>pyx::CHistoryDlg</name>
    <message>
        <source>Monitor</source>
        <translation>监控</translation>
    </message>
    <message>
        <source>GPU %1</source>
        <translation>显卡 %1</translation>
    </message>
    <message>
        <source>Last %1 min</source>
        <translation>最近 %1 分钟</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>暂停(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>继续(&amp;R)</translation>
    </message>
    <message>
        <source>GPU:</source>
        <translation>GPU：</translation>
    </message>
</context>
<context>
    <name>pyx::CHistoryPlot</name>
    <message>
        <source>Graphics clock</source>
        <translation>核心频率</translation>
    </message>
    <message>
        <source>Memory clock</source>
        <translation>显存频率</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Fan</source>
        <translation>风扇</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>负载</translation>
    </message>
    <message>
        <source>Power draw</source>
        <translation>功耗</translation>
    </message>
    <message>
        <source>limit</source>
        <translation>上限</translation>
    </message>
    <message>
        <source>now</source>
        <translation>现在</translation>
    </message>
    <message>
        <source>-%1 min</source>
        <translation>-%1 分钟</translation>
    </message>
    <message>
        <source>-%1 s</source>
        <translation>-%1 秒</translation>
    </message>
</context>
<context>
    <name>pyx::CKeepDialog</name>
    <message>
        <source>&amp;Keep</source>
        <translation>保留(&amp;K)</translation>
    </message>
    <message>
        <source>&amp;Revert</source>
        <translation>恢复(&amp;R)</translation>
    </message>
</context>
<context>
    <name>pyx::CVornApp</name>
    <message>
        <source>Pyxtune shows these cards but cannot change them: the driver takes changes from root only, and no Pyxtune service answers. To tune as this user: sudo systemctl enable --now pyxtuned.socket, then sudo adduser $USER pyxtune, and log in again.</source>
        <translation>Pyxtune 可以显示这些显卡，但无法更改它们：驱动程序只接受 root 的更改，且没有 Pyxtune 服务响应。要以此用户调校：sudo systemctl enable --now pyxtuned.socket，然后 sudo adduser $USER pyxtune，并重新登录。</translation>
    </message>
</context>
<context>
    <name>pyx::CVornDlg</name>
    <message>
        <source>Monitor...</source>
        <translation>监控...</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>关于 Vorn(&amp;A)...</source>
        <translation>关于 Vorn(&amp;A)...</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>SIMULATED GPU</source>
        <translation>模拟 GPU</translation>
    </message>
    <message>
        <source>SERVICE</source>
        <translation>服务</translation>
    </message>
    <message>
        <source>SIMULATED GPU · SERVICE</source>
        <translation>模拟 GPU · 服务</translation>
    </message>
</context>
<context>
    <name>pyx::ServiceWaitIndicator</name>
    <message>
        <source>Waiting for the Pyxtune service. If the desktop asks for an administrator&apos;s password, give it there.</source>
        <translation>正在等待 Pyxtune 服务。如果桌面要求输入管理员密码，请在那里输入。</translation>
    </message>
</context>
<context>
    <name>pyx::TrayIcon</name>
    <message>
        <source>Monitor</source>
        <translation>监控</translation>
    </message>
    <message>
        <source>Main Window</source>
        <translation>主窗口</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Pyxtune (simulated GPU)</source>
        <translation>Pyxtune（模拟 GPU）</translation>
    </message>
</context>
</TS>
