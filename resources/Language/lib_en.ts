<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CDPopTips</name>
    <message>
        <source>Tips</source>
        <translation>Tips</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt; color:#ff0000;&quot;&gt;警告：在开始运行之前，必须正确设置被测电池的充满电压值与放完电压值，否则会有损坏电池或电池爆炸的风险。&lt;/span&gt;&lt;/p&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt; color:#ff0000;&quot;&gt;Waring:Before operation,the full charge voltage value and discharge voltage value of the tested battery must be set correctly,otherwise there will be a risk of battery damage or battery explosion.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt; color:#ff0000;&quot;&gt;Waring:Before operation,the full charge voltage value and discharge voltage value of the tested battery must be set correctly,otherwise there will be a risk of battery damage or battery explosion.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>继续上一轮放电</source>
        <translation>Continue to previous cycle</translation>
    </message>
    <message>
        <source>清除数据并开始新一轮放电</source>
        <translation>Clear data for a new cycle</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ChartMenu</name>
    <message>
        <source>导出数据(.csv)</source>
        <translation>Export data (.csv)</translation>
    </message>
    <message>
        <source>导出图片(.png)</source>
        <translation>Export image (.png)</translation>
    </message>
    <message>
        <source>曲线设置</source>
        <translation>Curve Settings</translation>
    </message>
    <message>
        <source>累计图显</source>
        <translation>All Display</translation>
    </message>
    <message>
        <source>滚动图显</source>
        <translation>Scroll display</translation>
    </message>
    <message>
        <source>开发中...</source>
        <translation>Developing...</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Save File</translation>
    </message>
    <message>
        <source>image(*.png)</source>
        <translation>image(*.png)</translation>
    </message>
    <message>
        <source>图表为空</source>
        <translation>The chart is empty</translation>
    </message>
    <message>
        <source>图片编码失败</source>
        <translation>The image could not be encoded</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>error</translation>
    </message>
    <message>
        <source>无法保存图片 %1：%2</source>
        <translation>Cannot save the image %1: %2</translation>
    </message>
    <message>
        <source>清除记录</source>
        <translation>Clear record</translation>
    </message>
</context>
<context>
    <name>Confirmations</name>
    <message>
        <source>关闭程序</source>
        <translation>Close the program</translation>
    </message>
    <message>
        <source>放电正在进行：仪器会继续放电，但程序不再记录。</source>
        <translation>A discharge is in progress: the instrument goes on with it, but the program no longer records it.</translation>
    </message>
    <message>
        <source>尚未导出的数据：%1 条，关闭后将丢失。</source>
        <translation>Samples not exported: %1. They are lost when the program closes.</translation>
    </message>
    <message>
        <source>关闭前先导出数据吗？</source>
        <translation>Export them before closing?</translation>
    </message>
    <message>
        <source>导出数据...</source>
        <translation>Export data...</translation>
    </message>
    <message>
        <source>不导出，关闭</source>
        <translation>Close without exporting</translation>
    </message>
    <message>
        <source>仍要关闭吗？</source>
        <translation>Close anyway?</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>清除记录</source>
        <translation>Clear record</translation>
    </message>
    <message>
        <source>尚未导出的数据：%1 条，清除后无法恢复。仍要清除吗？</source>
        <translation>Samples not exported: %1. Once cleared they cannot be recovered. Clear them anyway?</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <source>仪器的全部设置将恢复为出厂值，包括校准系数和保护参数。确定要恢复出厂设置吗？</source>
        <translation>Every setting of the instrument returns to its factory value, calibration and protection limits included. Reset the instrument?</translation>
    </message>
</context>
<context>
    <name>CurveSettingsPanel</name>
    <message>
        <source>曲线颜色</source>
        <translation>Curve color</translation>
    </message>
    <message>
        <source>曲线宽度</source>
        <translation>Curve width</translation>
    </message>
    <message>
        <source>背景颜色风格：</source>
        <translation>ChartTheme:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>DataExport</name>
    <message>
        <source>提示信息</source>
        <translation>Prompt information</translation>
    </message>
    <message>
        <source>&lt;font color=&apos;red&apos;&gt;数据太少了吧，请记录至少十条数据。&lt;/font&gt;</source>
        <translation>&lt;font color=&apos;red&apos;&gt;There is too little data, please record at least ten pieces of data.&lt;/font&gt;</translation>
    </message>
    <message>
        <source>Excel file</source>
        <translation>Excel file</translation>
    </message>
    <message>
        <source>Files (*.csv)</source>
        <translation>Files (*.csv)</translation>
    </message>
    <message>
        <source>正在导出数据...</source>
        <translation>Exporting data...</translation>
    </message>
    <message>
        <source>导出数据(.csv)</source>
        <translation>Export data (.csv)</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>error</translation>
    </message>
    <message>
        <source>无法写入文件 %1：%2</source>
        <translation>Cannot write the file %1: %2</translation>
    </message>
</context>
<context>
    <name>DeviceInfoUI</name>
    <message>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>模拟器</source>
        <translation>Simulator</translation>
    </message>
    <message>
        <source>点击图标添加设备</source>
        <translation>Click to add device</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>主:%1</source>
        <translation>M:%1</translation>
    </message>
    <message>
        <source>从:%1</source>
        <translation>S:%1</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>点击图标移出设备</source>
        <translation>Clickto remove device</translation>
    </message>
</context>
<context>
    <name>DeviceLink</name>
    <message>
        <source>设备已连接</source>
        <translation>Device connected</translation>
    </message>
    <message>
        <source>设备名称:</source>
        <translation>Device name:</translation>
    </message>
    <message>
        <source>设备已断开</source>
        <translation>Device disconnected</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>USB发送数据异常</source>
        <translation>USB send error</translation>
    </message>
</context>
<context>
    <name>DispPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>恒电流模式</source>
        <translation>Constant Current</translation>
    </message>
    <message>
        <source>系统升级快捷键</source>
        <translation>System upgrade shortcut key</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>仪表设置快捷键</source>
        <translation>Device settings shortcut keys</translation>
    </message>
    <message>
        <source>仪表设置</source>
        <translation>SysSet</translation>
    </message>
    <message>
        <source>0000.00</source>
        <translation>0000.00</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>000.000</source>
        <translation>000.000</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>Ω</source>
        <translation>Ω</translation>
    </message>
    <message>
        <source>00000.0</source>
        <translation>00000.0</translation>
    </message>
    <message>
        <source>Wh</source>
        <translation>Wh</translation>
    </message>
    <message>
        <source>000000</source>
        <translation>000000</translation>
    </message>
    <message>
        <source>mAh</source>
        <translation>mAh</translation>
    </message>
    <message>
        <source>CPU:</source>
        <translation>CPU:</translation>
    </message>
    <message>
        <source>00.0</source>
        <translation>00.0</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>NTC:</source>
        <translation>NTC:</translation>
    </message>
    <message>
        <source>MOS:</source>
        <translation>MOS:</translation>
    </message>
    <message>
        <source>FAN:</source>
        <translation>FAN:</translation>
    </message>
    <message>
        <source>0000</source>
        <translation>0000</translation>
    </message>
    <message>
        <source>Is:</source>
        <translation>Is:</translation>
    </message>
    <message>
        <source>00.0000</source>
        <translation>00.0000</translation>
    </message>
    <message>
        <source>单击可设置</source>
        <translation>Click to set</translation>
    </message>
    <message>
        <source>开始放电</source>
        <translation>OFF</translation>
    </message>
    <message>
        <source>开始放电/停止放电</source>
        <translation>OFF/ON</translation>
    </message>
    <message>
        <source>电池放完电压:</source>
        <translation>Cut_Off Volt:</translation>
    </message>
    <message>
        <source>000.0</source>
        <translation>000.0</translation>
    </message>
    <message>
        <source>限时放电时间:</source>
        <translation>DischargeTime:</translation>
    </message>
    <message>
        <source>00</source>
        <translation>00</translation>
    </message>
    <message>
        <source>：</source>
        <translation>:</translation>
    </message>
    <message>
        <source>电池充满电压:</source>
        <translation>Full.U:</translation>
    </message>
    <message>
        <source>电池充满电流:</source>
        <translation>Full.I:</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>00.00</source>
        <translation>00.00</translation>
    </message>
    <message>
        <source>图表菜单</source>
        <translation>Chart menu</translation>
    </message>
    <message>
        <source>坐标范围</source>
        <translation>Custom Scope</translation>
    </message>
    <message>
        <source>自定义坐标轴范围</source>
        <translation>Custom axis ranges</translation>
    </message>
    <message>
        <source>Simple Real-Time Chart</source>
        <translation>Simple Real-Time Chart</translation>
    </message>
    <message>
        <source>单击修改标题</source>
        <translation>Click to modify the Title</translation>
    </message>
    <message>
        <source>ELE/CAP</source>
        <translation>ELE/CAP</translation>
    </message>
    <message>
        <source>DP/DM曲线</source>
        <translation>DP/DM Curve</translation>
    </message>
    <message>
        <source>CPU/NTC</source>
        <translation>CPU/NTC</translation>
    </message>
    <message>
        <source>CC1/CC2曲线</source>
        <translation>CC1/CC2 Curve</translation>
    </message>
    <message>
        <source>MOS_T</source>
        <translation>MOS_T</translation>
    </message>
    <message>
        <source>CPU温度曲线</source>
        <translation>CPU temperature curve</translation>
    </message>
    <message>
        <source>标题变更对话框</source>
        <translation>Title Change Dialog</translation>
    </message>
    <message>
        <source>请输入标题:</source>
        <translation>Please enter a title:</translation>
    </message>
    <message>
        <source>停止放电</source>
        <translation>ON</translation>
    </message>
    <message>
        <source>单击停止放电</source>
        <translation>Click to stop discharging</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>单击开始</source>
        <translation>Click to start</translation>
    </message>
    <message>
        <source>单击开始放电</source>
        <translation>Click to start discharging</translation>
    </message>
    <message>
        <source>开始/停止</source>
        <translation>Start/Stop</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>单击停止</source>
        <translation>Click to stop</translation>
    </message>
    <message>
        <source>仪器已断开连接，正在等待它重新连接……</source>
        <translation>The instrument is disconnected. Waiting for it to come back...</translation>
    </message>
</context>
<context>
    <name>FirmwareImage</name>
    <message>
        <source>打开文件失败</source>
        <translation>Fail to open file</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>固件过大,请选择正确的固件</source>
        <translation>The firmware is too large, please select the correct firmware</translation>
    </message>
    <message>
        <source>空的固件</source>
        <translation>Empty firmware</translation>
    </message>
    <message>
        <source>固件是空的</source>
        <translation>Firmware is empty</translation>
    </message>
    <message>
        <source>打开文件...</source>
        <translation>Open File...</translation>
    </message>
    <message>
        <source>打开固件文件</source>
        <translation>Open firmware file</translation>
    </message>
    <message>
        <source>BIN文件(*.bin)</source>
        <translation>BIN file (*.bin)</translation>
    </message>
    <message>
        <source>固件大小:%1KB   %2字节</source>
        <translation>Firmware size: %1 KB   %2 bytes</translation>
    </message>
    <message>
        <source>固件大小:%1字节</source>
        <translation>Firmware size: %1 bytes</translation>
    </message>
    <message>
        <source>读取文件完成...</source>
        <translation>File read...</translation>
    </message>
</context>
<context>
    <name>FirmwareUpgrade</name>
    <message>
        <source>握手成功...</source>
        <translation>Handshake succeeded...</translation>
    </message>
    <message>
        <source>开始传输固件...</source>
        <translation>Start transferring firmware...</translation>
    </message>
    <message>
        <source>传输完成...</source>
        <translation>Transfer complete...</translation>
    </message>
    <message>
        <source>请等待设备烧写完成...</source>
        <translation>Please wait for the device to finish burning...</translation>
    </message>
    <message>
        <source>烧写完成...</source>
        <translation>Burning completed...</translation>
    </message>
    <message>
        <source>本次下载结束</source>
        <translation>End of this download</translation>
    </message>
    <message>
        <source>开始下载</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>更新失败</source>
        <translation>Update failed</translation>
    </message>
    <message>
        <source>设备提前结束了升级</source>
        <translation>The instrument ended the upgrade early</translation>
    </message>
    <message>
        <source>正在下载</source>
        <translation>Downloading...</translation>
    </message>
    <message>
        <source>开始连接设备...</source>
        <translation>Connecting to the instrument...</translation>
    </message>
    <message>
        <source>传输耗时%1秒</source>
        <translation>Transfer took %1 s</translation>
    </message>
    <message>
        <source>下载烧写过程耗时%1秒</source>
        <translation>Download and burn took %1 s</translation>
    </message>
    <message>
        <source>当前进度为：%1%</source>
        <translation>Progress: %1%</translation>
    </message>
    <message>
        <source>%1字节/&lt;1秒</source>
        <translation>%1 bytes in under 1 s</translation>
    </message>
    <message>
        <source>%1字节/秒</source>
        <translation>%1 bytes/s</translation>
    </message>
    <message>
        <source>%1KB/秒</source>
        <translation>%1 KB/s</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>USB更新失败,超时</source>
        <translation>USB update failed: timed out</translation>
    </message>
    <message>
        <source>USB发送数据异常</source>
        <translation>USB send error</translation>
    </message>
</context>
<context>
    <name>FivePage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>快充协议自动检测</source>
        <translation>Protocol detector</translation>
    </message>
    <message>
        <source>此功能正在加点开发中，敬请期待。</source>
        <translation>This function is under development.</translation>
    </message>
</context>
<context>
    <name>FourPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>协议触发</source>
        <translation>Protocol trigger</translation>
    </message>
    <message>
        <source>此功能正在加点开发中，敬请期待。</source>
        <translation>This function is under development.</translation>
    </message>
</context>
<context>
    <name>HomePage</name>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;主页菜单&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Home Menu&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>主页菜单</source>
        <translation>Home Menu</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
</context>
<context>
    <name>MainDialog</name>
    <message>
        <source>固件升级</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>仪表参数设置</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>恒电流模式</source>
        <translation>Constant Current</translation>
    </message>
    <message>
        <source>恒电压模式</source>
        <translation>Constant Voltage</translation>
    </message>
    <message>
        <source>恒电阻模式</source>
        <translation>Constant Resistance</translation>
    </message>
    <message>
        <source>恒功率模式</source>
        <translation>Constant Power</translation>
    </message>
    <message>
        <source>测内阻</source>
        <translation>Internal_Res_Tester</translation>
    </message>
    <message>
        <source>测电源</source>
        <translation>Power Tester</translation>
    </message>
    <message>
        <source>测线组</source>
        <translation>Cable Tester</translation>
    </message>
    <message>
        <source>充放充</source>
        <translation>CDC Mode</translation>
    </message>
    <message>
        <source>充放充放充</source>
        <translation>CDCDC Mode</translation>
    </message>
    <message>
        <source>充放电循环测试</source>
        <translation>CDxn Tester</translation>
    </message>
    <message>
        <source>测试程序</source>
        <translation>Test program</translation>
    </message>
    <message>
        <source>更多功能等待开发</source>
        <translation>Developing</translation>
    </message>
    <message>
        <source>数据图表展示</source>
        <translation>Chart Display</translation>
    </message>
    <message>
        <source>Is:</source>
        <translation>Is:</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>Vs:</source>
        <translation>Vs:</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>Rs:</source>
        <translation>Rs:</translation>
    </message>
    <message>
        <source>Ω</source>
        <translation>Ω</translation>
    </message>
    <message>
        <source>Ps:</source>
        <translation>Ps:</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>ORVANE_USB_TESTER</source>
        <translation>ORVANE USB TESTER</translation>
    </message>
    <message>
        <source>测试仪主界面</source>
        <translation>Home Menu</translation>
    </message>
    <message>
        <source>电能表主界面</source>
        <translation>Meter Main</translation>
    </message>
    <message>
        <source>RX41主界面</source>
        <translation>RX41 Main</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Tips</translation>
    </message>
    <message>
        <source>&lt;font color=&apos;red&apos;&gt;文本框含有非法字符，请重新输入！&lt;/font&gt;</source>
        <translation>&lt;font color=&apos;red&apos;&gt;The text box contains illegal characters, please re-enter!&lt;/font&gt;</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>历史记录文件已损坏，已移至 %1，并新建了历史记录。</source>
        <translation>The history file was damaged; it was moved to %1 and a new history started.</translation>
    </message>
    <message>
        <source>无法打开历史记录（%1）。本次测试只保存在内存中，仍可导出。</source>
        <translation>The history cannot be opened (%1). This run is kept in memory only and can still be exported.</translation>
    </message>
    <message>
        <source>无法写入历史记录（%1）。本次测试只保存在内存中，仍可导出。</source>
        <translation>The history cannot be written (%1). This run is kept in memory only and can still be exported.</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>ORVANE Zavrell System APP V1.0.6</source>
        <translation>ORVANE Zavrell System APP V1.0.6</translation>
    </message>
    <message>
        <source>下拉菜单</source>
        <translation>Drop-down menu</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>设备列表</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>点击搜索总线设备</source>
        <translation>Click to search for bus devices</translation>
    </message>
    <message>
        <source>Tips:Hello!</source>
        <translation>Tips:Hello!</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>正在扫描总线设备</source>
        <translation>Scanning bus devices</translation>
    </message>
    <message>
        <source>未找到仪器。</source>
        <translation>No instrument found.</translation>
    </message>
    <message>
        <source>请检查数据线和仪器电源，然后再次搜索。</source>
        <translation>Check the cable and the instrument&apos;s power, then search again.</translation>
    </message>
</context>
<context>
    <name>ProgramPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>测试程序</source>
        <translation>Test program</translation>
    </message>
    <message>
        <source>程序名称</source>
        <translation>Program name</translation>
    </message>
    <message>
        <source>载入模板</source>
        <translation>Use template</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>步骤</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>结束条件</source>
        <translation>Ends at</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>添加到循环内</source>
        <translation>Add inside</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>设定值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>截止电压 (V)</source>
        <translation>Cut-off (V)</translation>
    </message>
    <message>
        <source>时长 (s)</source>
        <translation>Duration (s)</translation>
    </message>
    <message>
        <source>容量 (mAh)</source>
        <translation>Capacity (mAh)</translation>
    </message>
    <message>
        <source>能量 (Wh)</source>
        <translation>Energy (Wh)</translation>
    </message>
    <message>
        <source>恢复到电压 (V)</source>
        <translation>Until voltage (V)</translation>
    </message>
    <message>
        <source>电流 I1 (A)</source>
        <translation>Current I1 (A)</translation>
    </message>
    <message>
        <source>电流 I2 (A)</source>
        <translation>Current I2 (A)</translation>
    </message>
    <message>
        <source>时间 t1 (s)</source>
        <translation>Time t1 (s)</translation>
    </message>
    <message>
        <source>时间 t2 (s)</source>
        <translation>Time t2 (s)</translation>
    </message>
    <message>
        <source>次数</source>
        <translation>Times</translation>
    </message>
    <message>
        <source>静置电压低于 (V)</source>
        <translation>Until rest voltage below (V)</translation>
    </message>
    <message>
        <source>提示信息</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>放电到截止电压后结束</source>
        <translation>Until a discharge reaches its cut-off</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>运行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>遍</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>内阻 mΩ</source>
        <translation>DCIR mΩ</translation>
    </message>
    <message>
        <source>第 %1 步：%2</source>
        <translation>Step %1: %2</translation>
    </message>
    <message>
        <source>选择一个步骤进行编辑</source>
        <translation>Select a step to edit it</translation>
    </message>
    <message>
        <source>打开测试程序</source>
        <translation>Open a test program</translation>
    </message>
    <message>
        <source>测试程序 (*.json)</source>
        <translation>Test programs (*.json)</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>保存测试程序</source>
        <translation>Save the test program</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>暂停：%1 —— 按“确认继续”继续</source>
        <translation>Pause: %1 — press &quot;Go on&quot; to go on</translation>
    </message>
    <message>
        <source>仪表已断开；重新连接后将停止负载并中止</source>
        <translation>The instrument is gone; once it is back the load is stopped and the program ends</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续运行</source>
        <translation>Go on</translation>
    </message>
    <message>
        <source>确认继续</source>
        <translation>Go on</translation>
    </message>
    <message>
        <source>总时间 %1</source>
        <translation>Total time %1</translation>
    </message>
    <message>
        <source>第 %1 步 %2</source>
        <translation>Step %1 %2</translation>
    </message>
    <message>
        <source>准备中</source>
        <translation>Starting</translation>
    </message>
    <message>
        <source>（第 %1/%2 遍）</source>
        <translation> (pass %1/%2)</translation>
    </message>
    <message>
        <source>（第 %1 遍）</source>
        <translation> (pass %1)</translation>
    </message>
    <message>
        <source>%1 遍</source>
        <translation>%1 passes</translation>
    </message>
</context>
<context>
    <name>ProgramWords</name>
    <message>
        <source>请确认后继续</source>
        <translation>Confirm to go on</translation>
    </message>
    <message>
        <source>放电</source>
        <translation>Discharge</translation>
    </message>
    <message>
        <source>静置</source>
        <translation>Rest</translation>
    </message>
    <message>
        <source>直流内阻</source>
        <translation>DCIR</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>恒流</source>
        <translation>CC</translation>
    </message>
    <message>
        <source>恒压</source>
        <translation>CV</translation>
    </message>
    <message>
        <source>恒阻</source>
        <translation>CR</translation>
    </message>
    <message>
        <source>恒功率</source>
        <translation>CP</translation>
    </message>
    <message>
        <source>截止电压</source>
        <translation>cut-off</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>duration</translation>
    </message>
    <message>
        <source>容量</source>
        <translation>capacity</translation>
    </message>
    <message>
        <source>能量</source>
        <translation>energy</translation>
    </message>
    <message>
        <source>电压恢复</source>
        <translation>recovered</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>done</translation>
    </message>
    <message>
        <source>已确认</source>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>已中止</source>
        <translation>aborted</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>未运行</source>
        <translation>Not running</translation>
    </message>
    <message>
        <source>运行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>正在暂停</source>
        <translation>Pausing</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>等待确认</source>
        <translation>Waiting for you</translation>
    </message>
    <message>
        <source>仪表已断开，程序暂停</source>
        <translation>The instrument is gone; the program holds</translation>
    </message>
    <message>
        <source>仪表已重新连接：继续运行还是中止？</source>
        <translation>The instrument is back: go on, or abort?</translation>
    </message>
    <message>
        <source>正在停止负载</source>
        <translation>Stopping the load</translation>
    </message>
    <message>
        <source>已完成</source>
        <translation>Completed</translation>
    </message>
    <message>
        <source>数据清零</source>
        <translation>clearing of its data</translation>
    </message>
    <message>
        <source>工作模式</source>
        <translation>work mode</translation>
    </message>
    <message>
        <source>设定值</source>
        <translation>set value</translation>
    </message>
    <message>
        <source>定时</source>
        <translation>time limit</translation>
    </message>
    <message>
        <source>启动负载</source>
        <translation>start of the load</translation>
    </message>
    <message>
        <source>停止负载</source>
        <translation>stop of the load</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>change</translation>
    </message>
    <message>
        <source>程序未通过检查</source>
        <translation>The program did not pass its checks</translation>
    </message>
    <message>
        <source>未连接仪表</source>
        <translation>No instrument is connected</translation>
    </message>
    <message>
        <source>测试程序需要电子负载</source>
        <translation>Test programs need an electronic load</translation>
    </message>
    <message>
        <source>仪表未确认%1</source>
        <translation>The instrument did not confirm the %1</translation>
    </message>
    <message>
        <source>无法向仪表发送%1</source>
        <translation>Could not send the %1 to the instrument</translation>
    </message>
    <message>
        <source>仪表没有发送读数</source>
        <translation>The instrument sent no readings</translation>
    </message>
    <message>
        <source>仪表自行停止了负载（保护动作或被人为停止）</source>
        <translation>The instrument stopped the load by itself (a protection, or someone stopped it)</translation>
    </message>
    <message>
        <source>直流内阻步骤的两个电流没有按设定变化</source>
        <translation>The DCIR step&apos;s two currents did not differ as set</translation>
    </message>
    <message>
        <source>仪表未确认负载已停止，负载可能仍在运行</source>
        <translation>The instrument did not confirm that the load stopped; it may still be running</translation>
    </message>
    <message>
        <source>程序结束时仪表已断开，负载可能仍在运行</source>
        <translation>The instrument was gone when the program ended; the load may still be running</translation>
    </message>
    <message>
        <source>第 %1 步</source>
        <translation>step %1</translation>
    </message>
    <message>
        <source>第 %1 步（%2）</source>
        <translation>step %1 (%2)</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>字段“%1”</source>
        <translation>field &quot;%1&quot;</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>不是 JSON：第 %1 行第 %2 列（%3）</source>
        <translation>not JSON: line %1, column %2 (%3)</translation>
    </message>
    <message>
        <source>不是测试程序</source>
        <translation>not a test program</translation>
    </message>
    <message>
        <source>步骤必须是 JSON 对象</source>
        <translation>a step is a JSON object</translation>
    </message>
    <message>
        <source>%1 不是测试程序的格式</source>
        <translation>%1 is not the format of a test program</translation>
    </message>
    <message>
        <source>不认识的版本 %1（本程序读取版本 %2）</source>
        <translation>version %1 is not known (this program reads version %2)</translation>
    </message>
    <message>
        <source>缺少</source>
        <translation>missing</translation>
    </message>
    <message>
        <source>%1 的类型不对</source>
        <translation>%1 is of the wrong type</translation>
    </message>
    <message>
        <source>没有这个字段</source>
        <translation>no such field</translation>
    </message>
    <message>
        <source>不认识的步骤类型 %1</source>
        <translation>unknown kind %1</translation>
    </message>
    <message>
        <source>不认识的模式 %1</source>
        <translation>unknown mode %1</translation>
    </message>
    <message>
        <source>%1 超出范围（大于 %2，至多 %3%4）</source>
        <translation>%1 is out of range (more than %2 up to %3%4)</translation>
    </message>
    <message>
        <source>%1 超出范围（%2 至 %3%4）</source>
        <translation>%1 is out of range (from %2 up to %3%4)</translation>
    </message>
    <message>
        <source>没有步骤</source>
        <translation>no steps</translation>
    </message>
    <message>
        <source>不会结束：请设定次数、静置电压条件或截止条件</source>
        <translation>never ends: give times, a rest voltage or the cut-off condition</translation>
    </message>
    <message>
        <source>不会结束：请设定截止电压、时长、容量或能量</source>
        <translation>never ends: give a cut-off, duration, capacity or energy</translation>
    </message>
    <message>
        <source>循环内需要一个静置步骤</source>
        <translation>needs a rest step inside the repeat</translation>
    </message>
    <message>
        <source>循环内需要一个设了截止电压的放电步骤</source>
        <translation>needs a discharge step with a cut-off inside the repeat</translation>
    </message>
    <message>
        <source>%1 必须大于 %2</source>
        <translation>%1 must be above %2</translation>
    </message>
    <message>
        <source>循环最多嵌套 %1 层</source>
        <translation>repeats nest at most %1 deep</translation>
    </message>
    <message>
        <source>步骤超过 %1 个</source>
        <translation>more than %1 steps</translation>
    </message>
    <message>
        <source>负载关闭</source>
        <translation>load off</translation>
    </message>
    <message>
        <source>%1 个步骤</source>
        <translation>%1 steps</translation>
    </message>
    <message>
        <source>截止 %1 V</source>
        <translation>cut-off %1 V</translation>
    </message>
    <message>
        <source>恢复到 %1 V</source>
        <translation>back to %1 V</translation>
    </message>
    <message>
        <source>至多 %1</source>
        <translation>at most %1</translation>
    </message>
    <message>
        <source>%1 次</source>
        <translation>%1 times</translation>
    </message>
    <message>
        <source>静置电压低于 %1 V</source>
        <translation>rest voltage below %1 V</translation>
    </message>
    <message>
        <source>放电到截止电压</source>
        <translation>a discharge at its cut-off</translation>
    </message>
    <message>
        <source>确认后继续</source>
        <translation>goes on when confirmed</translation>
    </message>
    <message>
        <source>容量测试</source>
        <translation>Capacity test</translation>
    </message>
    <message>
        <source>直流内阻测试</source>
        <translation>DCIR test</translation>
    </message>
    <message>
        <source>容量测试（定期测内阻）</source>
        <translation>Capacity test with DCIR</translation>
    </message>
</context>
<context>
    <name>ReadingFormat</name>
    <message>
        <source>恒电流模式</source>
        <translation>Constant Current</translation>
    </message>
    <message>
        <source>数据图表展示</source>
        <translation>Chart Display</translation>
    </message>
    <message>
        <source>恒电压模式</source>
        <translation>Constant Voltage</translation>
    </message>
    <message>
        <source>恒电阻模式</source>
        <translation>Constant Resistance</translation>
    </message>
    <message>
        <source>恒功率模式</source>
        <translation>Constant Power</translation>
    </message>
    <message>
        <source>测内阻</source>
        <translation>Internal_Res_Tester</translation>
    </message>
    <message>
        <source>测电源</source>
        <translation>Power Tester</translation>
    </message>
    <message>
        <source>测线组</source>
        <translation>Cable Tester</translation>
    </message>
    <message>
        <source>充放充</source>
        <translation>CDC Mode</translation>
    </message>
    <message>
        <source>充放充放充</source>
        <translation>CDCDC Mode</translation>
    </message>
    <message>
        <source>充放电循环测试</source>
        <translation>CDxn Tester</translation>
    </message>
</context>
<context>
    <name>Rx41HomePage</name>
    <message>
        <source>主页菜单</source>
        <translation>Home Menu</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>RX41/PB62/PB66主页菜单</source>
        <translation>RX41/PB62/PB66 Menu</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
</context>
<context>
    <name>Rx41SettingsPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>System settings</translation>
    </message>
    <message>
        <source>01 界面显示风格</source>
        <translation>01 Language Style</translation>
    </message>
    <message>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>ENGLISH</source>
        <translation>ENGLISH</translation>
    </message>
    <message>
        <source>02 工作屏幕亮度</source>
        <translation>02 Display Brightness</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>03 待机屏幕亮度</source>
        <translation>03 Standby Brightness</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>04 进入待机时间</source>
        <translation>04 Enter Standby Time</translation>
    </message>
    <message>
        <source>60</source>
        <translation>60</translation>
    </message>
    <message>
        <source>05 选分流器规格</source>
        <translation>05 Diverter size</translation>
    </message>
    <message>
        <source>30A</source>
        <translation>30A</translation>
    </message>
    <message>
        <source>100A</source>
        <translation>100A</translation>
    </message>
    <message>
        <source>200A</source>
        <translation>200A</translation>
    </message>
    <message>
        <source>300A</source>
        <translation>300A</translation>
    </message>
    <message>
        <source>400A</source>
        <translation>400A</translation>
    </message>
    <message>
        <source>500A</source>
        <translation>500A</translation>
    </message>
    <message>
        <source>600A</source>
        <translation>600A</translation>
    </message>
    <message>
        <source>1000A</source>
        <translation>1000A</translation>
    </message>
    <message>
        <source>06 参考电压校准</source>
        <translation>06 Voltage Calibrate Ref</translation>
    </message>
    <message>
        <source>当前电压：</source>
        <translation>Current voltage:</translation>
    </message>
    <message>
        <source>none</source>
        <translation>none</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>校准系数：</source>
        <translation>Calibration factor:</translation>
    </message>
    <message>
        <source>1.000</source>
        <translation>1.000</translation>
    </message>
    <message>
        <source>07 参考电流校准</source>
        <translation>07 Current Calibrate Ref</translation>
    </message>
    <message>
        <source>当前电流：</source>
        <translation>Present current:</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>08 外部温度校准</source>
        <translation>08 Ext_temp Calibration</translation>
    </message>
    <message>
        <source>当前温度：</source>
        <translation>Present temperature:</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>09 空载电流清零</source>
        <translation>09 Zero No-load Current</translation>
    </message>
    <message>
        <source>电流清零</source>
        <translation>Current clearing</translation>
    </message>
    <message>
        <source>10 累计数据清零</source>
        <translation>10 Zero All Data</translation>
    </message>
    <message>
        <source>数据清零</source>
        <translation>Data clearing</translation>
    </message>
    <message>
        <source>11 恢复出厂设置</source>
        <translation>11 Default Setting</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Restore settings</translation>
    </message>
    <message>
        <source>12 其他参数设置</source>
        <translation>Other setting</translation>
    </message>
    <message>
        <source>过压自动提示：</source>
        <translation>OVP:</translation>
    </message>
    <message>
        <source>低压自动提示：</source>
        <translation>LVP:</translation>
    </message>
    <message>
        <source>过功自动提示：</source>
        <translation>OPP:</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>探头过温门限：</source>
        <translation>Over Ext.Temp:</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>System settings</translation>
    </message>
    <message>
        <source>01 界面显示风格</source>
        <translation>01 Language Style</translation>
    </message>
    <message>
        <source>中文数字</source>
        <translation>CN-A</translation>
    </message>
    <message>
        <source>中文曲线</source>
        <translation>CN-B</translation>
    </message>
    <message>
        <source>EN-Numbe</source>
        <translation>EN-Numbe</translation>
    </message>
    <message>
        <source>EN-Curve</source>
        <translation>EN-Curve</translation>
    </message>
    <message>
        <source>02 工作屏幕亮度</source>
        <translation>02 Display Brightness</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>03 待机屏幕亮度</source>
        <translation>03 Standby Brightness</translation>
    </message>
    <message>
        <source>04 进入待机时间</source>
        <translation>04 Enter Standby Time</translation>
    </message>
    <message>
        <source>60</source>
        <translation>60</translation>
    </message>
    <message>
        <source>05 限时放电时间</source>
        <translation>05 Limit Time Discharge</translation>
    </message>
    <message>
        <source>00</source>
        <translation>00</translation>
    </message>
    <message>
        <source>：</source>
        <translation>:</translation>
    </message>
    <message>
        <source>H</source>
        <translation>H</translation>
    </message>
    <message>
        <source>06 参考电压校准</source>
        <translation>06 Voltage Calibrate Ref</translation>
    </message>
    <message>
        <source>当前电压：</source>
        <translation>Current voltage:</translation>
    </message>
    <message>
        <source>none</source>
        <translation>none</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>校准系数：</source>
        <translation>Calibration factor:</translation>
    </message>
    <message>
        <source>1.000</source>
        <translation>1.000</translation>
    </message>
    <message>
        <source>07 参考电流校准</source>
        <translation>07 Current Calibrate Ref</translation>
    </message>
    <message>
        <source>当前电流：</source>
        <translation>Present current:</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>08 外部温度校准</source>
        <translation>08 Ext_temp Calibration</translation>
    </message>
    <message>
        <source>当前温度：</source>
        <translation>Present temperature:</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>09 空载电流清零</source>
        <translation>06 Zero No-load Current</translation>
    </message>
    <message>
        <source>电流清零</source>
        <translation>Current clearing</translation>
    </message>
    <message>
        <source>10 累计数据清零</source>
        <translation>10 Zero All Data</translation>
    </message>
    <message>
        <source>数据清零</source>
        <translation>Data clearing</translation>
    </message>
    <message>
        <source>11 恢复出厂设置</source>
        <translation>11 Default Setting</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Restore settings</translation>
    </message>
    <message>
        <source>12 其他参数设置</source>
        <translation>Other setting</translation>
    </message>
    <message>
        <source>放电停止电压：</source>
        <translation>D_Cutoff Volt:</translation>
    </message>
    <message>
        <source>充电停止电压：</source>
        <translation>C_Cutoff Volt:</translation>
    </message>
    <message>
        <source>充电停止电流：</source>
        <translation>C_Cutoff Amp:</translation>
    </message>
    <message>
        <source>充放过流门限：</source>
        <translation>FULL.I:</translation>
    </message>
    <message>
        <source>充放过功门限：</source>
        <translation>Over Power:</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>探头过温门限：</source>
        <translation>Over Ext.Temp:</translation>
    </message>
    <message>
        <source>MOS管过温门限：</source>
        <translation>Over_Temp MOS:</translation>
    </message>
</context>
<context>
    <name>SixPage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>电池容量</source>
        <translation>Battery capacity</translation>
    </message>
    <message>
        <source>此功能正在加点开发中，敬请期待。</source>
        <translation>This function is under development.</translation>
    </message>
</context>
<context>
    <name>StartPage</name>
    <message>
        <source>请使用数据线将设备的HID口与电脑相连接！</source>
        <translation>Please connect the HID to the computer!</translation>
    </message>
    <message>
        <source>在 Linux 上，真实仪器需要安装 udev 规则后才能访问（Debian 软件包会自动安装）：</source>
        <translation>On Linux a real instrument can only be opened once the udev rule is installed (the Debian package installs it):</translation>
    </message>
    <message>
        <source>然后重新插拔仪器。使用 --simulate 启动的模拟仪器不需要此规则。</source>
        <translation>Then unplug the instrument and plug it in again. The simulated instrument (--simulate) needs no rule.</translation>
    </message>
</context>
<context>
    <name>UpgradePage</name>
    <message>
        <source>返回主页</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>固件升级</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>本地升级</source>
        <translation>Local upgrade</translation>
    </message>
    <message>
        <source>打开固件：</source>
        <translation>Open file:</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>开始下载</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>固件信息</source>
        <translation>Firmware information</translation>
    </message>
    <message>
        <source>固件大小：</source>
        <translation>File size:</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Device information</translation>
    </message>
    <message>
        <source>设备名称：</source>
        <translation>Device name:</translation>
    </message>
    <message>
        <source>升级日志：</source>
        <translation>Log:</translation>
    </message>
</context>
<context>
    <name>customcoordinates</name>
    <message>
        <source>数据轴</source>
        <translation>Data axis</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Minimum value</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum value</translation>
    </message>
    <message>
        <source>当前状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>HistoryTexts</name>
    <message>
        <source>到达截止电压</source>
        <translation>Cut-off voltage reached</translation>
    </message>
    <message>
        <source>到达限定时间</source>
        <translation>Time limit reached</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>记录已清除</source>
        <translation>Record cleared</translation>
    </message>
    <message>
        <source>程序已关闭</source>
        <translation>Program closed</translation>
    </message>
    <message>
        <source>已中断</source>
        <translation>Interrupted</translation>
    </message>
    <message>
        <source>进行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>容量</source>
        <translation>Capacity</translation>
    </message>
    <message>
        <source>能量</source>
        <translation>Energy</translation>
    </message>
    <message>
        <source>平均电压</source>
        <translation>Average voltage</translation>
    </message>
    <message>
        <source>最低电压</source>
        <translation>Minimum voltage</translation>
    </message>
    <message>
        <source>平均电流</source>
        <translation>Average current</translation>
    </message>
    <message>
        <source>最高MOS温度</source>
        <translation>Highest MOS temperature</translation>
    </message>
    <message>
        <source>最高探头温度</source>
        <translation>Highest probe temperature</translation>
    </message>
    <message>
        <source>未接探头</source>
        <translation>No probe</translation>
    </message>
    <message>
        <source>结束原因</source>
        <translation>End</translation>
    </message>
</context>
<context>
    <name>RunSummaryPanel</name>
    <message>
        <source>本次测试结束</source>
        <translation>Run finished</translation>
    </message>
</context>
<context>
    <name>HistoryPage</name>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>容量</source>
        <translation>Capacity</translation>
    </message>
    <message>
        <source>能量</source>
        <translation>Energy</translation>
    </message>
    <message>
        <source>结束原因</source>
        <translation>End</translation>
    </message>
    <message>
        <source>标签</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>对比</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>PDF报告</source>
        <translation>PDF report</translation>
    </message>
    <message>
        <source>编辑标签</source>
        <translation>Edit label</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>电压-容量</source>
        <translation>Voltage / capacity</translation>
    </message>
    <message>
        <source>电压-时间</source>
        <translation>Voltage / time</translation>
    </message>
    <message>
        <source>全部设备</source>
        <translation>All devices</translation>
    </message>
    <message>
        <source>请选择一条记录</source>
        <translation>Select one run</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Tips</translation>
    </message>
    <message>
        <source>无法读取记录</source>
        <translation>Cannot read the run</translation>
    </message>
    <message>
        <source>请选择1到8条记录进行对比</source>
        <translation>Select 1 to 8 runs to compare</translation>
    </message>
    <message>
        <source>容量 (mAh)</source>
        <translation>Capacity (mAh)</translation>
    </message>
    <message>
        <source>时间 (小时)</source>
        <translation>Time (hours)</translation>
    </message>
    <message>
        <source>电压 (V)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <source>导出数据</source>
        <translation>Export data</translation>
    </message>
    <message>
        <source>CSV文件(*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法写入文件</source>
        <translation>Cannot write the file</translation>
    </message>
    <message>
        <source>保存报告</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>PDF文件(*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>测试报告</source>
        <translation>Run report</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>Ended</translation>
    </message>
    <message>
        <source>电流 (A)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <source>自开始的时间</source>
        <translation>Time since start</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>标签:</source>
        <translation>Label:</translation>
    </message>
    <message>
        <source>无法保存标签</source>
        <translation>Cannot save the label</translation>
    </message>
    <message>
        <source>删除选中的%1条记录及其全部数据？此操作无法撤销。</source>
        <translation>Delete the %1 selected run(s) with all their samples? This cannot be undone.</translation>
    </message>
</context>
</TS>
