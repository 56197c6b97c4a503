<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AttentionWatch</name>
    <message>
        <source>通道 %1</source>
        <translation>channel %1</translation>
    </message>
    <message>
        <source>通道 %1（电池 %2）</source>
        <translation>channel %1 (cell %2)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>放电结束</source>
        <translation>Discharge ended</translation>
    </message>
    <message>
        <source>%1：%2 放电结束。</source>
        <translation>%1: the discharge of %2 ended.</translation>
    </message>
    <message>
        <source>设备无数据</source>
        <translation>No data from the device</translation>
    </message>
    <message>
        <source>%1：已 %2 秒没有收到数据，设备可能已断开或停止（%3）。</source>
        <translation>%1: nothing received for %2 s; the device may be unplugged or stopped (%3).</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>记录已停止</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>%1 的数据已 %2 秒未能写入记录文件：%3</source>
        <translation>The data of %1 could not be written to the store for %2 s: %3</translation>
    </message>
</context>
<context>
    <name>BdfExport</name>
    <message>
        <source>%1 已存在且不是普通文件，未覆盖</source>
        <translation>%1 exists and is not a regular file; it was left as it is</translation>
    </message>
    <message>
        <source>%1 已存在且不是本程序导出的 BDF 文件，未覆盖</source>
        <translation>%1 exists and is not a BDF file this program exported; it was left as it is</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>读取%1失败：记录库无法读取。</source>
        <translation>Reading %1 failed: the store cannot be read.</translation>
    </message>
    <message>
        <source>%1 不是一个文件夹</source>
        <translation>%1 is not a folder</translation>
    </message>
    <message>
        <source>两个来源的 BDF 文件同名：%1</source>
        <translation>Two sources give the same BDF file name: %1</translation>
    </message>
    <message>
        <source>%1 没有完整的读数，未写出 BDF 文件</source>
        <translation>%1 has no complete readings; no BDF file was written</translation>
    </message>
    <message>
        <source>没有编号为 %1 的会话。</source>
        <translation>There is no session %1.</translation>
    </message>
    <message>
        <source>打开的记录都没有完整的读数，未写出 BDF 文件</source>
        <translation>None of the opened recordings has complete readings; no BDF file was written</translation>
    </message>
</context>
<context>
    <name>CellLabelDialog</name>
    <message>
        <source>电池编号</source>
        <translation>Cell labels</translation>
    </message>
    <message>
        <source>输入或扫码每个通道上电池的编号，空着表示不标记。</source>
        <translation>Type or scan the label of the cell on each channel; leave a field empty for none.</translation>
    </message>
    <message>
        <source>例如 A0001</source>
        <translation>e.g. A0001</translation>
    </message>
    <message>
        <source>通道 %1 的电池编号</source>
        <translation>Channel %1 cell label</translation>
    </message>
    <message>
        <source>通道 %1：</source>
        <translation>Channel %1:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>ChartAccessibility</name>
    <message>
        <source>曲线区</source>
        <translation>Plot area</translation>
    </message>
    <message>
        <source>更多命令</source>
        <translation>More commands</translation>
    </message>
    <message>
        <source>%1 %2 mV, %3 s</source>
        <translation>%1 %2 mV, %3 s</translation>
    </message>
    <message>
        <source>暂无数据</source>
        <translation>No data yet</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>%1 Y: %2</source>
        <translation>%1 Y: %2</translation>
    </message>
</context>
<context>
    <name>ChartSystemDialogs</name>
    <message>
        <source>PNG 图像 (*.png)</source>
        <translation>PNG image (*.png)</translation>
    </message>
    <message>
        <source>PDF 文档 (*.pdf)</source>
        <translation>PDF document (*.pdf)</translation>
    </message>
    <message>
        <source>保存图表图像</source>
        <translation>Save Chart Image</translation>
    </message>
    <message>
        <source>导出图表数据</source>
        <translation>Export Chart Data</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV file (*.csv)</translation>
    </message>
    <message>
        <source>图表</source>
        <translation>Chart</translation>
    </message>
</context>
<context>
    <name>CycleViews</name>
    <message>
        <source>%1 循环%2</source>
        <translation>%1 cycle %2</translation>
    </message>
    <message>
        <source>曲线</source>
        <translation>Curve</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Cycle</translation>
    </message>
    <message>
        <source>帧数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>时长
(S)</source>
        <translation>Duration
(s)</translation>
    </message>
    <message>
        <source>容量
(mAh)</source>
        <translation>Capacity
(mAh)</translation>
    </message>
    <message>
        <source>电量
(mAh)</source>
        <translation>Charge
(mAh)</translation>
    </message>
    <message>
        <source>能量
(mWh)</source>
        <translation>Energy
(mWh)</translation>
    </message>
    <message>
        <source>平均电压
(mV)</source>
        <translation>Mean voltage
(mV)</translation>
    </message>
    <message>
        <source>终止电压
(mV)</source>
        <translation>End voltage
(mV)</translation>
    </message>
    <message>
        <source>至截止
时间(S)</source>
        <translation>To cut-off
time (s)</translation>
    </message>
    <message>
        <source>至截止
电量(mAh)</source>
        <translation>To cut-off
charge (mAh)</translation>
    </message>
    <message>
        <source>至截止
能量(mWh)</source>
        <translation>To cut-off
energy (mWh)</translation>
    </message>
    <message>
        <source>内阻中值
(mΩ)</source>
        <translation>Median IR
(mΩ)</translation>
    </message>
    <message>
        <source>容量衰减</source>
        <translation>Capacity fade</translation>
    </message>
    <message>
        <source>容量(mAh)</source>
        <translation>Capacity (mAh)</translation>
    </message>
    <message>
        <source>截止电压</source>
        <translation>Cut-off voltage</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>算到第一个不高于此电压的帧为止的电量和能量；0 为不算</source>
        <translation>Charge and energy up to the first frame at or below this voltage; 0 for none</translation>
    </message>
    <message>
        <source>内阻电流阶跃</source>
        <translation>Resistance current step</translation>
    </message>
    <message>
        <source>相邻两帧电流至少变化这么多时，按 ΔV/ΔI 算直流内阻</source>
        <translation>Where the current changes by at least this much between two frames, the DC resistance is ΔV/ΔI</translation>
    </message>
    <message>
        <source>电压步长</source>
        <translation>Voltage step</translation>
    </message>
    <message>
        <source>平滑</source>
        <translation>Smoothing</translation>
    </message>
    <message>
        <source>不平滑</source>
        <translation>none</translation>
    </message>
    <message>
        <source>每点两侧各取几个步长加权平均</source>
        <translation>Steps on each side weighed into each point</translation>
    </message>
    <message>
        <source>导出 dQ/dV CSV…</source>
        <translation>Export dQ/dV CSV…</translation>
    </message>
    <message>
        <source>增量容量 dQ/dV</source>
        <translation>Incremental capacity dQ/dV</translation>
    </message>
    <message>
        <source>电压(mV)</source>
        <translation>Voltage (mV)</translation>
    </message>
    <message>
        <source>dQ/dV (mAh/V)</source>
        <translation>dQ/dV (mAh/V)</translation>
    </message>
    <message>
        <source>电池 %1</source>
        <translation>Cell %1</translation>
    </message>
    <message>
        <source>无法把数据保存到 %1：%2</source>
        <translation>Cannot save the data to %1: %2</translation>
    </message>
</context>
<context>
    <name>DeviceLossNotice</name>
    <message>
        <source>设备已断开，正在重新连接…</source>
        <translation>Device lost, reopening…</translation>
    </message>
</context>
<context>
    <name>DischargeChart</name>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>两轴的跨度减半</source>
        <translation>Halve the span of both axes</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>两轴的跨度加倍</source>
        <translation>Double the span of both axes</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>暂停或继续坐标轴跟踪</source>
        <translation>Pause or resume axis tracking</translation>
    </message>
    <message>
        <source>游标</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>显示或隐藏数据游标</source>
        <translation>Show or hide the data cursor</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>把图表图像复制到剪贴板</source>
        <translation>Copy the chart image to the clipboard</translation>
    </message>
    <message>
        <source>保存图像</source>
        <translation>Save Image</translation>
    </message>
    <message>
        <source>把图表保存为 PNG 或 PDF 文件</source>
        <translation>Save the chart as PNG or PDF</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>把两条曲线的数据点导出为 CSV 文件</source>
        <translation>Export both traces&apos; points as CSV</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>打印图表</source>
        <translation>Print the chart</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>无法把图表图像保存到 %1。</source>
        <translation>Could not save the chart image to %1.</translation>
    </message>
    <message>
        <source>无法把图表数据保存到 %1。</source>
        <translation>Could not save the chart data to %1.</translation>
    </message>
    <message>
        <source>无法打印图表。</source>
        <translation>Could not print the chart.</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>全部显示</source>
        <translation>Show All</translation>
    </message>
    <message>
        <source>让两轴显示全部数据</source>
        <translation>Fit both axes to all the data</translation>
    </message>
    <message>
        <source>电池编号</source>
        <translation>Cell labels</translation>
    </message>
    <message>
        <source>输入或扫码两个通道上电池的编号，记录会带上它们</source>
        <translation>Type or scan the labels of the cells on both channels; recordings carry them</translation>
    </message>
</context>
<context>
    <name>Grading</name>
    <message>
        <source>电池</source>
        <translation>Cell</translation>
    </message>
    <message>
        <source>组</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Cycle</translation>
    </message>
    <message>
        <source>容量(mAh)</source>
        <translation>Capacity (mAh)</translation>
    </message>
    <message>
        <source>到截止电压容量(mAh)</source>
        <translation>To cut-off (mAh)</translation>
    </message>
    <message>
        <source>能量(mWh)</source>
        <translation>Energy (mWh)</translation>
    </message>
    <message>
        <source>平均电压(mV)</source>
        <translation>Mean voltage (mV)</translation>
    </message>
    <message>
        <source>内阻中位数(mΩ)</source>
        <translation>Median resistance (mΩ)</translation>
    </message>
    <message>
        <source>平均 %1 mAh，标准差 %2 mAh（样本），%3 组（±%4%）</source>
        <translation>Mean %1 mAh, standard deviation %2 mAh (sample), %3 groups (±%4%)</translation>
    </message>
</context>
<context>
    <name>GradingView</name>
    <message>
        <source>分选</source>
        <translation>Grading</translation>
    </message>
    <message>
        <source>分组范围 ±</source>
        <translation>Group range ±</translation>
    </message>
    <message>
        <source>分组范围（百分比）</source>
        <translation>Group range (percent)</translation>
    </message>
    <message>
        <source>导出 CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>分选结果</source>
        <translation>Grading result</translation>
    </message>
    <message>
        <source>没有可分选的曲线。</source>
        <translation>No curves to grade.</translation>
    </message>
    <message>
        <source>无法把分选结果保存到 %1：%2</source>
        <translation>Cannot save the grading to %1: %2</translation>
    </message>
    <message>
        <source>截止电压在历史记录窗口中设置，摘要、循环和分选都用它</source>
        <translation>The cut-off voltage is set in the review window; the summaries, the cycles and the grading all use it</translation>
    </message>
    <message>
        <source>截止电压：%1 mV</source>
        <translation>Cut-off voltage: %1 mV</translation>
    </message>
    <message>
        <source>截止电压：不设</source>
        <translation>Cut-off voltage: none</translation>
    </message>
</context>
<context>
    <name>LabServer</name>
    <message>
        <source>无法接收实验室服务器的更新通知：%1</source>
        <translation>Cannot receive the lab server&apos;s update notifications: %1</translation>
    </message>
    <message>
        <source>无法读取实验室服务器：%1</source>
        <translation>Cannot read the lab server: %1</translation>
    </message>
    <message>
        <source>与实验室服务器的连接断开了：%1</source>
        <translation>The connection to the lab server was lost: %1</translation>
    </message>
    <message>
        <source>无法连接实验室服务器：%1</source>
        <translation>Cannot connect to the lab server: %1</translation>
    </message>
    <message>
        <source>无法读取实验室服务器 %1：%2</source>
        <translation>Cannot read the lab server %1: %2</translation>
    </message>
    <message>
        <source>实验室服务器 %1 上还没有记录（还没有工作台上传过）。</source>
        <translation>The lab server %1 holds no sessions yet (no bench has uploaded to it).</translation>
    </message>
    <message>
        <source>实验室服务器 %1 的数据格式（版本 %2）比本程序新，请升级本程序。</source>
        <translation>The lab server %1 has a newer layout (version %2) than this program; please update the program.</translation>
    </message>
    <message>
        <source>实验室服务器上没有这个会话了</source>
        <translation>The lab server no longer has this session</translation>
    </message>
    <message>
        <source>无法读取实验室服务器</source>
        <translation>Cannot read the lab server</translation>
    </message>
</context>
<context>
    <name>LabWindow</name>
    <message>
        <source>%1 秒前</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>%1 分 %2 秒前</source>
        <translation>%1 min %2 s ago</translation>
    </message>
    <message>
        <source>%1 小时 %2 分前</source>
        <translation>%1 h %2 min ago</translation>
    </message>
    <message>
        <source>实验室</source>
        <translation>Lab</translation>
    </message>
    <message>
        <source>正在连接实验室服务器 %1…</source>
        <translation>Connecting to the lab server %1…</translation>
    </message>
    <message>
        <source>服务器状态</source>
        <translation>Server status</translation>
    </message>
    <message>
        <source>工作台</source>
        <translation>Bench</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>电池</source>
        <translation>Cells</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>通道1
电压(mV)</source>
        <translation>Ch. 1
voltage (mV)</translation>
    </message>
    <message>
        <source>通道1
电流(mA)</source>
        <translation>Ch. 1
current (mA)</translation>
    </message>
    <message>
        <source>通道1
容量(mAh)</source>
        <translation>Ch. 1
capacity (mAh)</translation>
    </message>
    <message>
        <source>通道2
电压(mV)</source>
        <translation>Ch. 2
voltage (mV)</translation>
    </message>
    <message>
        <source>通道2
电流(mA)</source>
        <translation>Ch. 2
current (mA)</translation>
    </message>
    <message>
        <source>通道2
容量(mAh)</source>
        <translation>Ch. 2
capacity (mAh)</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>最新数据</source>
        <translation>Newest data</translation>
    </message>
    <message>
        <source>正在记录的会话</source>
        <translation>Sessions recording</translation>
    </message>
    <message>
        <source>双击一行，在历史记录窗口中打开该会话并跟随新数据</source>
        <translation>Double-click a row to open its session in a review window that follows new data</translation>
    </message>
    <message>
        <source>实验室服务器 %1：%2 个会话正在记录。</source>
        <translation>Lab server %1: %2 sessions recording.</translation>
    </message>
    <message>
        <source>⚠ 实验室服务器不可用，%1 秒后重试：%2</source>
        <translation>⚠ The lab server is unavailable; trying again in %1 s: %2</translation>
    </message>
    <message>
        <source>还没有数据</source>
        <translation>no data yet</translation>
    </message>
    <message>
        <source>⚠ %1（超过 10 秒没有新数据）</source>
        <translation>⚠ %1 (no new data for over 10 s)</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>保存路径</source>
        <translation>Save folder</translation>
    </message>
    <message>
        <source>非数据帧计数</source>
        <translation>Non-frame count</translation>
    </message>
    <message>
        <source>原始数据</source>
        <translation>Raw data</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>接收数据</source>
        <translation>Received data</translation>
    </message>
    <message>
        <source>串口已打开</source>
        <translation>Port open</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>串口打开失败</source>
        <translation>Port open failed</translation>
    </message>
    <message>
        <source>保存失败：%1</source>
        <translation>Save failed: %1</translation>
    </message>
</context>
<context>
    <name>PortMap</name>
    <message>
        <source>“%1”应为 COMn=设备，n 为 1 到 16</source>
        <translation>&quot;%1&quot; should be COMn=DEVICE, with n from 1 to 16</translation>
    </message>
    <message>
        <source>“%1”缺少设备名</source>
        <translation>&quot;%1&quot; names no device</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
</context>
<context>
    <name>RawTextBox</name>
    <message>
        <source>
…（此处省略 %1 个字符）…
</source>
        <translation>
… (%1 characters left out) …
</translation>
    </message>
</context>
<context>
    <name>ReviewFilterBar</name>
    <message>
        <source>（无名）</source>
        <translation>(unnamed)</translation>
    </message>
    <message>
        <source>工作台</source>
        <translation>Bench</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>结束方式</source>
        <translation>Ended by</translation>
    </message>
    <message>
        <source>开始日期</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>按开始日期筛选</source>
        <translation>Filter by start date</translation>
    </message>
    <message>
        <source>开始日期从</source>
        <translation>Started from</translation>
    </message>
    <message>
        <source>开始日期到</source>
        <translation>Started until</translation>
    </message>
    <message>
        <source>至</source>
        <translation>to</translation>
    </message>
</context>
<context>
    <name>ReviewPlot</name>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>两轴跨度减半</source>
        <translation>Halve both axes&apos; spans</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>两轴跨度加倍</source>
        <translation>Double both axes&apos; spans</translation>
    </message>
    <message>
        <source>全部显示</source>
        <translation>Show all</translation>
    </message>
    <message>
        <source>显示全部数据</source>
        <translation>Show all data</translation>
    </message>
    <message>
        <source>游标</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>显示或隐藏数据游标</source>
        <translation>Show or hide the data cursor</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>把图像复制到剪贴板</source>
        <translation>Copy the image to the clipboard</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>保存为 PNG 或 PDF</source>
        <translation>Save as PNG or PDF</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>打印图表</source>
        <translation>Print the chart</translation>
    </message>
    <message>
        <source>无法把图像保存到 %1。</source>
        <translation>Cannot save the image to %1.</translation>
    </message>
    <message>
        <source>无法打印图表。</source>
        <translation>Cannot print the chart.</translation>
    </message>
    <message>
        <source>曲线区</source>
        <translation>Plot area</translation>
    </message>
    <message>
        <source>%1：%2 %3，%4 %5</source>
        <translation>%1: %2 %3, %4 %5</translation>
    </message>
    <message>
        <source>暂无数据</source>
        <translation>No data yet</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>%1 Y: %2</source>
        <translation>%1 Y: %2</translation>
    </message>
</context>
<context>
    <name>ReviewWindow</name>
    <message>
        <source>写入失败：%1</source>
        <translation>Write failed: %1</translation>
    </message>
    <message>
        <source>没有编号为 %1 的会话。</source>
        <translation>There is no session with id %1.</translation>
    </message>
    <message>
        <source>读取会话 %1 失败。</source>
        <translation>Reading session %1 failed.</translation>
    </message>
    <message>
        <source>无法打开文件 %1：%2</source>
        <translation>Cannot open file %1: %2</translation>
    </message>
    <message>
        <source>打开数据文件</source>
        <translation>Open data file</translation>
    </message>
    <message>
        <source>数据文件 (*.txt);;所有文件 (*)</source>
        <translation>Data files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>保存报告</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf);;PNG 图片 (*.png)</source>
        <translation>PDF files (*.pdf);;PNG images (*.png)</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>系统信息</source>
        <translation>System information</translation>
    </message>
    <message>
        <source>生成于 %1</source>
        <translation>Generated %1</translation>
    </message>
    <message>
        <source>时间(S)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>电压(mV)</source>
        <translation>Voltage (mV)</translation>
    </message>
    <message>
        <source>电流(mA)</source>
        <translation>Current (mA)</translation>
    </message>
    <message>
        <source>容量(mAh)</source>
        <translation>Capacity (mAh)</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>已记录的会话</source>
        <translation>Recorded sessions</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Id</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>结束方式</source>
        <translation>Ended</translation>
    </message>
    <message>
        <source>通道1 容量/终止电压</source>
        <translation>Ch. 1 capacity/end voltage</translation>
    </message>
    <message>
        <source>通道2 容量/终止电压</source>
        <translation>Ch. 2 capacity/end voltage</translation>
    </message>
    <message>
        <source>打开所选会话</source>
        <translation>Open selected sessions</translation>
    </message>
    <message>
        <source>打开数据文件…</source>
        <translation>Open data file…</translation>
    </message>
    <message>
        <source>全部关闭</source>
        <translation>Close all</translation>
    </message>
    <message>
        <source>刷新列表</source>
        <translation>Refresh list</translation>
    </message>
    <message>
        <source>已打开（勾选的曲线参与比较）</source>
        <translation>Opened (ticked curves are compared)</translation>
    </message>
    <message>
        <source>纵轴</source>
        <translation>Y axis</translation>
    </message>
    <message>
        <source>横轴</source>
        <translation>X axis</translation>
    </message>
    <message>
        <source>导出 CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>保存报告…</source>
        <translation>Save report…</translation>
    </message>
    <message>
        <source>曲线</source>
        <translation>Curve</translation>
    </message>
    <message>
        <source>帧数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>Ended</translation>
    </message>
    <message>
        <source>没有会话记录库。</source>
        <translation>No session store.</translation>
    </message>
    <message>
        <source>%1 mAh / %2 mV</source>
        <translation>%1 mAh / %2 mV</translation>
    </message>
    <message>
        <source>记录库中还没有会话。</source>
        <translation>The store has no sessions yet.</translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>读取失败：内存不足或数据无法读取。</source>
        <translation>Reading failed: out of memory or unreadable data.</translation>
    </message>
    <message>
        <source>%1 中没有完整的数据帧（%2 行不是数据帧或无法解析）。</source>
        <translation>%1 has no complete data frame (%2 lines are not frames or failed to parse).</translation>
    </message>
    <message>
        <source>%1：%2 行不是数据帧或无法解析，已跳过。</source>
        <translation>%1: %2 lines are not frames or failed to parse and were skipped.</translation>
    </message>
    <message>
        <source>%1 %2 通道%3</source>
        <translation>%1 %2 channel %3</translation>
    </message>
    <message>
        <source>通道%1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>比较</source>
        <translation>Comparison</translation>
    </message>
    <message>
        <source>历史曲线</source>
        <translation>History curves</translation>
    </message>
    <message>
        <source>放电结束</source>
        <translation>End of discharge</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>放电比较报告</source>
        <translation>Discharge comparison report</translation>
    </message>
    <message>
        <source>放电报告</source>
        <translation>Discharge report</translation>
    </message>
    <message>
        <source>%1  保存于 %2  %3</source>
        <translation>%1  saved %2  %3</translation>
    </message>
    <message>
        <source>%1  开始于 %2  %3</source>
        <translation>%1  started %2  %3</translation>
    </message>
    <message>
        <source>无法把报告保存到 %1。</source>
        <translation>Cannot save the report to %1.</translation>
    </message>
    <message>
        <source>无法把数据保存到 %1：%2</source>
        <translation>Cannot save the data to %1: %2</translation>
    </message>
    <message>
        <source>正在导出 CSV…</source>
        <translation>Exporting CSV…</translation>
    </message>
    <message>
        <source>CSV 已导出。</source>
        <translation>CSV exported.</translation>
    </message>
    <message>
        <source>会话 %1</source>
        <translation>Session %1</translation>
    </message>
    <message>
        <source>记录中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>程序退出</source>
        <translation>Program exit</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>Interrupted</translation>
    </message>
    <message>
        <source>读取%1失败：记录库无法读取。</source>
        <translation>Reading %1 failed: the store cannot be read.</translation>
    </message>
    <message>
        <source>文件 %1 太大（超过 %2 MB），不是数据文件。</source>
        <translation>File %1 is too large (over %2 MB) to be a data file.</translation>
    </message>
    <message>
        <source>读取文件 %1 失败：%2</source>
        <translation>Reading file %1 failed: %2</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions summary ID|latest|文件</source>
        <translation>Usage: orvanta-sessions summary ID|latest|FILE</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions cycles ID|latest|文件 [--cutoff 毫伏]</source>
        <translation>Usage: orvanta-sessions cycles ID|latest|FILE [--cutoff MV]</translation>
    </message>
    <message>
        <source>已打开的曲线</source>
        <translation>Opened curves</translation>
    </message>
    <message>
        <source>时长
(S)</source>
        <translation>Duration
(s)</translation>
    </message>
    <message>
        <source>容量
(mAh)</source>
        <translation>Capacity
(mAh)</translation>
    </message>
    <message>
        <source>能量
(mWh)</source>
        <translation>Energy
(mWh)</translation>
    </message>
    <message>
        <source>平均电压
(mV)</source>
        <translation>Mean voltage
(mV)</translation>
    </message>
    <message>
        <source>最低电压
(mV)</source>
        <translation>Min. voltage
(mV)</translation>
    </message>
    <message>
        <source>终止电压
(mV)</source>
        <translation>End voltage
(mV)</translation>
    </message>
    <message>
        <source>最高
温度</source>
        <translation>Max.
temperature</translation>
    </message>
    <message>
        <source>放电摘要</source>
        <translation>Discharge summaries</translation>
    </message>
    <message>
        <source>%1 不是普通文件，不是数据文件。</source>
        <translation>%1 is not a regular file, so it is not a data file.</translation>
    </message>
    <message>
        <source>导出 BDF 文件到文件夹</source>
        <translation>Export BDF files to a folder</translation>
    </message>
    <message>
        <source>导出 BDF…</source>
        <translation>Export BDF…</translation>
    </message>
    <message>
        <source>正在导出 BDF…</source>
        <translation>Exporting BDF…</translation>
    </message>
    <message>
        <source>BDF 文件已导出。</source>
        <translation>BDF files exported.</translation>
    </message>
    <message>
        <source>把打开的每个通道写成电池数据格式（BDF）文件</source>
        <translation>Writes each opened channel as a Battery Data Format (BDF) file</translation>
    </message>
    <message>
        <source>容量衰减</source>
        <translation>Capacity fade</translation>
    </message>
    <message>
        <source>dQ/dV</source>
        <translation>dQ/dV</translation>
    </message>
    <message>
        <source>电量
(mAh)</source>
        <translation>Charge
(mAh)</translation>
    </message>
    <message>
        <source>至截止
电量(mAh)</source>
        <translation>To cut-off
charge (mAh)</translation>
    </message>
    <message>
        <source>至截止
能量(mWh)</source>
        <translation>To cut-off
energy (mWh)</translation>
    </message>
    <message>
        <source>摘要</source>
        <translation>Summary</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Cycles</translation>
    </message>
    <message>
        <source>实验室</source>
        <translation>Lab</translation>
    </message>
    <message>
        <source>实验室中所有正在记录的会话</source>
        <translation>Every session recording in the lab</translation>
    </message>
    <message>
        <source>工作台</source>
        <translation>Bench</translation>
    </message>
    <message numerus="yes">
        <source>……另有 %n 行，见分选 CSV</source>
        <translation>
            <numerusform>… %n more row: see the grading CSV</numerusform>
            <numerusform>… %n more rows: see the grading CSV</numerusform>
        </translation>
    </message>
    <message>
        <source>分选…</source>
        <translation>Grading…</translation>
    </message>
    <message>
        <source>按容量给打开的电池排序、分组，用于配组</source>
        <translation>Ranks and groups the opened cells by capacity, for matching them into packs</translation>
    </message>
    <message>
        <source>按电池编号查找</source>
        <translation>Find by cell label</translation>
    </message>
    <message>
        <source>电池编号</source>
        <translation>Cell labels</translation>
    </message>
    <message>
        <source>%1（通道%2）</source>
        <translation>%1 (channel %2)</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1 %2 通道%3 电池%4</source>
        <translation>%1 %2 Ch%3 cell %4</translation>
    </message>
    <message>
        <source>温度（右轴）</source>
        <translation>Temperature (right axis)</translation>
    </message>
    <message>
        <source>在右边的纵轴上同时画出温度</source>
        <translation>Also draw the temperature on the right-hand Y axis</translation>
    </message>
    <message>
        <source>%1 温度</source>
        <translation>%1 temperature</translation>
    </message>
    <message>
        <source>这里的会话是实验室服务器上的副本，电池编号只能在记录它的工作台上设置。</source>
        <translation>These sessions are the lab server&apos;s copies: cell labels are set at the bench that recorded them.</translation>
    </message>
    <message>
        <source>先在列表中选一个会话。</source>
        <translation>Select one session in the list first.</translation>
    </message>
    <message>
        <source>设置或更正所选会话每个通道的电池编号</source>
        <translation>Set or correct the cell label of each channel of the selected session</translation>
    </message>
    <message>
        <source>电池编号…</source>
        <translation>Cell labels…</translation>
    </message>
    <message>
        <source>温度（虚线，右轴）</source>
        <translation>Temperature (dashed, right axis)</translation>
    </message>
    <message>
        <source>没有会话记录库：电池编号记在记录库的会话里，数据文件（data1.txt）不能设置。</source>
        <translation>No session store: cell labels are kept with the sessions of a store, and a data file (data1.txt) cannot carry them.</translation>
    </message>
    <message>
        <source>正在读取会话列表…</source>
        <translation>Reading the session list…</translation>
    </message>
    <message>
        <source>无法读取会话列表：%1</source>
        <translation>Cannot read the session list: %1</translation>
    </message>
</context>
<context>
    <name>Screenshot</name>
    <message>
        <source>把 Orvanta 窗口渲染为 PNG 图片。</source>
        <translation>Renders the Orvanta window to a PNG.</translation>
    </message>
    <message>
        <source>要写入的 PNG 文件。</source>
        <translation>PNG file to write.</translation>
    </message>
    <message>
        <source>客户区大小 宽x高（逻辑像素）。</source>
        <translation>Client size WxH in logical pixels.</translation>
    </message>
    <message>
        <source>经采集过程送入的帧数。</source>
        <translation>Frames to feed through the acquisition pass.</translation>
    </message>
    <message>
        <source>显示数据窗口。</source>
        <translation>Show the log pane.</translation>
    </message>
    <message>
        <source>最后送入放电结束通知。</source>
        <translation>End with the end-of-discharge notice.</translation>
    </message>
    <message>
        <source>只保留窗口的这一部分（逻辑像素）。</source>
        <translation>Keep only this part of the window (logical px).</translation>
    </message>
    <message>
        <source>通道 1 的时间比通道 2 多出的秒数。</source>
        <translation>Seconds added to channel 1&apos;s time over channel 2&apos;s.</translation>
    </message>
    <message>
        <source>改为渲染历史记录窗口：按容量对齐比较三次模拟放电。</source>
        <translation>Render the review window instead: three simulated discharges compared by capacity.</translation>
    </message>
    <message>
        <source>与 --review 一起使用：另写出报告页。</source>
        <translation>With --review: also write the report page.</translation>
    </message>
    <message>
        <source>与 --review 一起使用：列出此记录文件中的会话。</source>
        <translation>With --review: list the sessions of this store file.</translation>
    </message>
    <message>
        <source>另写出一张 PNG：左边是保存的 PDF，右边是打印到 1200 dpi PDF 打印机的页面。</source>
        <translation>Also write a PNG: the saved PDF on the left, the page printed to a 1200 dpi PDF printer on the right.</translation>
    </message>
    <message>
        <source>与 --review 一起使用：改为显示一节电池的多次循环、容量衰减和 dQ/dV。</source>
        <translation>With --review: show one cell&apos;s cycles, its capacity fade and dQ/dV instead.</translation>
    </message>
    <message>
        <source>改为渲染实验室窗口：先在 --server 所指的服务器上放四个模拟工作台的会话。</source>
        <translation>Render the lab window instead, after putting four simulated benches&apos; sessions on the server given by --server.</translation>
    </message>
    <message>
        <source>与 --lab 一起使用：实验室服务器的 URI。</source>
        <translation>With --lab: the lab server&apos;s URI.</translation>
    </message>
    <message>
        <source>与 --review 一起使用：另把分选窗口渲染成 PNG。</source>
        <translation>With --review: also render the grading window to a PNG.</translation>
    </message>
</context>
<context>
    <name>ServerOptions</name>
    <message>
        <source>本台架在服务器上的名称（默认为主机名）。也可写在设置文件的 bench 项。</source>
        <translation>This bench&apos;s name on the lab server (default: the host name). Also the settings file&apos;s bench key.</translation>
    </message>
    <message>
        <source>实验室服务器的地址不可用：%1</source>
        <translation>The lab server address cannot be used: %1</translation>
    </message>
</context>
<context>
    <name>SessionCommands</name>
    <message>
        <source>记录文件默认为 %1</source>
        <translation>The store file is %1 unless --db names another</translation>
    </message>
    <message>
        <source>未知命令：%1</source>
        <translation>Unknown command: %1</translation>
    </message>
    <message>
        <source>记录中</source>
        <translation>running</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>closed</translation>
    </message>
    <message>
        <source>程序退出</source>
        <translation>program exit</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>导出到 %1 失败：%2</source>
        <translation>Export to %1 failed: %2</translation>
    </message>
    <message>
        <source>记录编号应为数字或 latest：%1</source>
        <translation>A session is named by its id or latest: %1</translation>
    </message>
    <message>
        <source>没有编号为 %1 的记录</source>
        <translation>No session with id %1</translation>
    </message>
    <message>
        <source>记录文件中还没有记录</source>
        <translation>The store holds no session yet</translation>
    </message>
    <message>
        <source>export 的参数有误：%1</source>
        <translation>Unexpected argument to export: %1</translation>
    </message>
    <message>
        <source>每个通道一行放电小结（记录或 data1.txt 文件）：帧数、时长、容量、能量、平均电压、最低与终止电压、最高温度、结束方式</source>
        <translation>One discharge summary line per channel (a session or a data1.txt file): frames, duration, capacity, energy, mean voltage, minimum and end voltage, maximum temperature, how it ended</translation>
    </message>
    <message>
        <source>写入标准输出失败：%1</source>
        <translation>Writing to standard output failed: %1</translation>
    </message>
    <message>
        <source>读取记录文件失败：%1</source>
        <translation>Reading the store failed: %1</translation>
    </message>
    <message>
        <source>每个通道的每个循环一行（充放电仪重新计时即为新循环）：帧数、起始时间、时长、容量、电量、能量、平均电压、终止电压，以及到截止电压时的时间和电量</source>
        <translation>One line per cycle of each channel (a cycle starts where the charger restarts its count): frames, start, duration, capacity, charge, energy, mean voltage, end voltage, and the time and charge to a cut-off voltage</translation>
    </message>
    <message>
        <source>把记录文件完整、一致地复制成一个新文件 FILE（程序运行时也可以）</source>
        <translation>Copies the store, whole and consistent, to a new file FILE (also while the program runs)</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions backup FILE</source>
        <translation>Usage: orvanta-sessions backup FILE</translation>
    </message>
    <message>
        <source>未结束（记录程序已不在运行）</source>
        <translation>unfinished (the recording program is gone)</translation>
    </message>
    <message>
        <source>export：%1 只能给一次</source>
        <translation>export: %1 may be given only once</translation>
    </message>
    <message>
        <source>导出一个记录为 CSV 表格或 data1.txt（FILE 为 - 时写到标准输出）；--bdf 把记录或 data1.txt 文件的每个通道写成文件夹 DIR 中的一个电池数据格式（BDF）文件</source>
        <translation>Exports a session as a CSV table or data1.txt (FILE - is standard output); --bdf writes each channel of a session or data1.txt file as a Battery Data Format (BDF) file in the folder DIR</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions export ID|latest (--csv FILE | --data1 FILE)
      orvanta-sessions export ID|latest|FILE --bdf DIR</source>
        <translation>Usage: orvanta-sessions export ID|latest (--csv FILE | --data1 FILE)
       orvanta-sessions export ID|latest|FILE --bdf DIR</translation>
    </message>
    <message>
        <source>--server URI 读实验室服务器（libpq 连接 URI）上所有工作台的记录；list 的最后一列是工作台</source>
        <translation>--server URI reads every bench&apos;s sessions from the lab server (a libpq connection URI); list then ends each line with the bench</translation>
    </message>
    <message>
        <source>backup 只复制本机的记录文件；实验室服务器请用其数据库的备份</source>
        <translation>backup copies this computer&apos;s store only; back the lab server up with its database&apos;s own backup</translation>
    </message>
    <message>
        <source>每个记录一行：编号、开始、结束、时长、端口、设备、数据块数、帧数、结束方式、通道 1 和通道 2 的电池编号；--cell 只列出装过该电池的记录</source>
        <translation>One line per session: id, start, end, duration, port, device, chunks, frames, how it ended, the cell labels of channel 1 and 2; --cell lists only the sessions that had that cell</translation>
    </message>
    <message>
        <source>给记录的通道标上电池编号（只改给出的通道；空编号即去掉）</source>
        <translation>Labels a session&apos;s cells (only the channels given; an empty label takes it off)</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions label ID [--cell1 编号] [--cell2 编号]</source>
        <translation>Usage: orvanta-sessions label ID [--cell1 LABEL] [--cell2 LABEL]</translation>
    </message>
    <message>
        <source>label 只改本机的记录文件，不能与 --server 一起用</source>
        <translation>label changes only the local session store; it cannot be used with --server</translation>
    </message>
    <message>
        <source>用法：orvanta-sessions list [--cell 编号]</source>
        <translation>Usage: orvanta-sessions list [--cell LABEL]</translation>
    </message>
</context>
<context>
    <name>SessionExport</name>
    <message>
        <source>写入失败：%1</source>
        <translation>Write failed: %1</translation>
    </message>
    <message>
        <source>读取记录失败</source>
        <translation>Reading the session failed</translation>
    </message>
</context>
<context>
    <name>SessionReader</name>
    <message>
        <source>没有找到记录文件：%1</source>
        <translation>No store file at %1</translation>
    </message>
    <message>
        <source>无法读取记录文件：%1</source>
        <translation>Cannot read the store file %1</translation>
    </message>
    <message>
        <source>缺少 SQLite 数据库驱动（QSQLITE）</source>
        <translation>The SQLite database driver (QSQLITE) is missing</translation>
    </message>
    <message>
        <source>无法读取记录文件 %1：%2</source>
        <translation>Cannot read the store file %1: %2</translation>
    </message>
    <message>
        <source>%1 不是本程序能读的记录文件（版本 %2）</source>
        <translation>%1 is not a store this program can read (version %2)</translation>
    </message>
    <message>
        <source>%1 不是记录文件，或是缺了同名 -wal 文件的记录文件副本（复制记录请用 orvanta-sessions backup）</source>
        <translation>%1 is not a store, or is a copy of one without its -wal file (copy a store with orvanta-sessions backup)</translation>
    </message>
    <message>
        <source>无法新建 %1：%2</source>
        <translation>Cannot create %1: %2</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>the file exists</translation>
    </message>
    <message>
        <source>备份到 %1 失败：%2</source>
        <translation>Backup to %1 failed: %2</translation>
    </message>
</context>
<context>
    <name>SessionRecording</name>
    <message>
        <source>未记录：存储不可用，每 10 秒重试</source>
        <translation>Not recording: store unavailable, retrying every 10 s</translation>
    </message>
    <message>
        <source>记录文件无法使用，已改名保存为 %1，新的记录文件已建立。</source>
        <translation>The store file could not be used. It was kept as %1, and a new store was started.</translation>
    </message>
    <message>
        <source>记录文件在程序运行时被删除或替换，已重新建立；正在进行的记录从此继续保存在新文件中。</source>
        <translation>The store file was deleted or replaced while the program ran. A new one was made, and the running session goes on in it.</translation>
    </message>
    <message numerus="yes">
        <source>为使记录文件不超过大小上限，已删除最早的 %n 个已结束记录。</source>
        <translation>
            <numerusform>To keep the store under its size cap, the oldest finished session was deleted.</numerusform>
            <numerusform>To keep the store under its size cap, the %n oldest finished sessions were deleted.</numerusform>
        </translation>
    </message>
    <message>
        <source>清理记录文件未能完成，记录照常进行：%1</source>
        <translation>Cleaning up the store did not finish; recording goes on: %1</translation>
    </message>
</context>
<context>
    <name>Simulator</name>
    <message>
        <source>模拟双通道充放电仪：每秒向链接 LINK 所指的伪终端写一帧遥测数据，最后发出放电结束通知。</source>
        <translation>Simulates the two-channel charger: writes one telemetry frame a second to a pseudo-terminal linked at LINK, then the end-of-discharge notice.</translation>
    </message>
    <message>
        <source>指向终端的链接路径，例如 /tmp/charger</source>
        <translation>path of the link to the terminal, e.g. /tmp/charger</translation>
    </message>
    <message>
        <source>模拟放电的秒数（3000）。</source>
        <translation>Simulated seconds of the discharge (3000).</translation>
    </message>
    <message>
        <source>每帧模拟的秒数（1）。</source>
        <translation>Simulated seconds per frame (1).</translation>
    </message>
    <message>
        <source>每个节拍的实际毫秒数（1000）。</source>
        <translation>Real milliseconds per tick (1000).</translation>
    </message>
    <message>
        <source>每第 n 帧的电压字段为空。</source>
        <translation>Every n-th frame has an empty voltage field.</translation>
    </message>
    <message>
        <source>每第 n 个节拍发送一行噪声。</source>
        <translation>Every n-th tick sends a noise line.</translation>
    </message>
    <message>
        <source>每第 n 帧分两个节拍发送。</source>
        <translation>Every n-th frame spans two ticks.</translation>
    </message>
    <message>
        <source>每第 n 个节拍发送两帧。</source>
        <translation>Every n-th tick sends two frames.</translation>
    </message>
    <message>
        <source>从第几个节拍起停止发送。</source>
        <translation>Tick at which to fall silent.</translation>
    </message>
    <message>
        <source>停止发送的节拍数。</source>
        <translation>Ticks of silence.</translation>
    </message>
    <message>
        <source>在第几个节拍关闭终端，如同拔掉线缆。</source>
        <translation>Tick at which to close the terminal, like a pulled cable.</translation>
    </message>
    <message>
        <source>经过多少节拍后同一链接出现新的终端。</source>
        <translation>Ticks before a new terminal appears at the same link.</translation>
    </message>
    <message>
        <source>只有通道 1 上报数据。</source>
        <translation>Only channel 1 reports.</translation>
    </message>
    <message>
        <source>通知之后开始新一轮放电。</source>
        <translation>Start a new discharge after the notice.</translation>
    </message>
    <message>
        <source>通知之后退出。</source>
        <translation>Exit after the notice.</translation>
    </message>
    <message>
        <source>每发送一段数据，就在标准输出打印一行 &quot;sent: 数据&quot;（CR、LF 写作 \r、\n）。</source>
        <translation>Print each chunk sent as a line &quot;sent: TEXT&quot; on standard output (CR and LF written as \r and \n).</translation>
    </message>
</context>
<context>
    <name>StoreOptions</name>
    <message>
        <source>本次运行不记录数据。</source>
        <translation>Do not record sessions in this run.</translation>
    </message>
    <message>
        <source>记录文件的大小上限（如 500M、2G；0 为不限），超出时删除最早的已结束记录。</source>
        <translation>Size cap of the session store (e.g. 500M, 2G; 0 for none); above it the oldest finished sessions are deleted.</translation>
    </message>
    <message>
        <source>%1 不是有效的大小：%2</source>
        <translation>%1 is not a valid size: %2</translation>
    </message>
    <message>
        <source>环境变量 ORVANTA_STORE_LIMIT 的值“%1”不是有效的大小，记录文件使用默认上限 %2 GiB。</source>
        <translation>ORVANTA_STORE_LIMIT is set to &quot;%1&quot;, which is not a valid size; the store uses the default cap of %2 GiB.</translation>
    </message>
</context>
<context>
    <name>Uploader</name>
    <message>
        <source>服务器数据未同步，每 10 秒重试</source>
        <translation>Lab server not up to date, retrying every 10 s</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>只打开历史记录窗口，并打开所列的会话或数据文件。</source>
        <translation>Open only the review window, with the listed sessions or data files.</translation>
    </message>
    <message>
        <source>与 --review 一起使用。</source>
        <translation>With --review.</translation>
    </message>
    <message>
        <source>让串口列表中的 COMn 打开设备 DEVICE，例如 COM3=/dev/ttyUSB0；可重复。也可写在设置文件 %1 的 [ports] 节中（每行 COMn=DEVICE），命令行优先。未指定的 COMn 打开环境变量 ORVANTA_COMn 所指的设备，否则打开 /dev/ttyS(n-1)。</source>
        <translation>Make COMn in the port list open DEVICE, for example COM3=/dev/ttyUSB0; may be repeated. The same can be written in the [ports] section of the settings file %1 (one COMn=DEVICE a line); the command line wins. A COMn not given opens the device named by the environment variable ORVANTA_COMn, or else /dev/ttyS(n-1).</translation>
    </message>
    <message>
        <source>放电结束、设备一分钟无数据或记录停止一分钟时不发桌面通知（也可在设置文件的 [notify] 节写 enabled=false）。</source>
        <translation>Send no desktop notification when a discharge ends, the device sends nothing for a minute or recording stops for a minute (or write enabled=false in the [notify] section of the settings file).</translation>
    </message>
    <message>
        <source>--lab 需要实验室服务器：用 --server URI、环境变量 ORVANTA_SERVER 或设置文件中的 server 键指定。</source>
        <translation>--lab needs a lab server: name it with --server URI, the environment variable ORVANTA_SERVER or the key server in the settings file.</translation>
    </message>
    <message>
        <source>实验室服务器（PostgreSQL 的 libpq 连接 URI，例如 postgresql://orvanta@labdb/orvanta?sslmode=verify-full）。也可用环境变量 ORVANTA_SERVER 或设置文件中的 server 键。密码不写在这里，写在 libpq 的密码文件（PGPASSFILE）中。与 --review 一起使用时，历史记录窗口列出服务器上所有工作台的会话。</source>
        <translation>The lab server (a PostgreSQL libpq connection URI, for example postgresql://orvanta@labdb/orvanta?sslmode=verify-full). The environment variable ORVANTA_SERVER or the key server in the settings file can name it too. No password here: libpq&apos;s password file (PGPASSFILE) holds it. With --review the review window lists every bench&apos;s sessions on the server.</translation>
    </message>
    <message>
        <source>只打开实验室窗口：服务器上每个正在记录的会话及其最新读数，随时更新。</source>
        <translation>Open only the lab window: every session recording on the server with its newest readings, kept up to date.</translation>
    </message>
    <message>
        <source>无法更新实验室服务器，记录照常保存在本机，每 10 秒重试：%1</source>
        <translation>Cannot update the lab server; recording goes on on this computer, retrying every 10 s: %1</translation>
    </message>
    <message>
        <source>通道 %1 上电池的编号（例如 A0001），记在每个记录里；运行中可用图表工具栏的“电池编号”更改。</source>
        <translation>Label of the cell on channel %1 (e.g. A0001), kept with each session; change it while running with the chart toolbar&apos;s &quot;Cell labels&quot;.</translation>
    </message>
</context>
</TS>
