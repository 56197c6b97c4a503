"""Checks the running Orvanta window through the AT-SPI bus, as a screen
reader sees it. Started by test_accessibility_bus.sh with the simulated
charger's echo log; polls against one deadline, never waits a fixed time."""

import argparse
import re
import sys
import time

import pyatspi
from gi.repository import GLib

POLL_S = 0.1


class Failure(Exception):
    pass


class Deadline:
    def __init__(self, seconds):
        self.end = time.monotonic() + seconds

    def poll(self, what, probe, accept=lambda result: result is not None):
        """Calls probe() until accept() takes what it returns; returns that."""
        last_error = None
        while True:
            try:
                result = probe()
                if accept(result):
                    return result
            except Exception as error:  # the tree changes under us; try again
                last_error = error
            if time.monotonic() > self.end:
                detail = f" (last error: {last_error})" if last_error else ""
                raise Failure(f"{what}: not seen before the deadline{detail}")
            time.sleep(POLL_S)
            # Deliver the bus events that arrived meanwhile.
            context = GLib.MainContext.default()
            while context.pending():
                context.iteration(False)


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find(root, name, role=None):
    for node in walk(root):
        if node.name == name and (role is None or node.getRole() == role):
            return node
    return None


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def tail_of(node, length):
    text = node.queryText()
    count = text.characterCount
    return text.getText(max(0, count - length), count)


def do_action(node, action_name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == action_name:
            action.doAction(i)
            return
    names = [action.getName(i) for i in range(action.nActions)]
    raise Failure(f"{node.name}: no action {action_name} (has {names})")


def action_names(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def has_state(node, state):
    return node.getState().contains(state)


def sent_frames(sent_log):
    """The frames the charger sent so far, as sent (line end included)."""
    frames = []
    with open(sent_log, encoding="utf-8", errors="replace") as log:
        for line in log:
            if line.startswith("sent: $1,"):
                chunk = line[len("sent: "):].rstrip("\n")
                frames.append(chunk.replace("\\r", "\r").replace("\\n", "\n").replace("\\\\", "\\"))
    return frames


def last_sent_frame(sent_log):
    frames = sent_frames(sent_log)
    return frames[-1] if frames else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sent", required=True, help="the charger's echo log")
    parser.add_argument("--deadline", type=float, default=60)
    args = parser.parse_args()
    deadline = Deadline(args.deadline)

    desktop = pyatspi.Registry.getDesktop(0)

    def window():
        for app in desktop:
            if app is None:
                continue
            found = find(app, "Orvanta", pyatspi.ROLE_FRAME)
            if found is not None:
                return found
        return None

    win = deadline.poll("the window \"Orvanta\" on the bus", window)
    print("window:", win.name)

    # What a screen reader would be told as frames arrive. Listening starts
    # once the program is on the bus: the program learns of listeners
    # registered while it starts up only when its bridge is ready for them.
    events = []

    def on_event(event):
        events.append((event.type, event.source.name if event.source else None, event.any_data))

    pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-value",
                                           "object:text-changed:insert")

    # Open the port and start acquisition, as a keyboard user would, through
    # the buttons' actions.
    open_button = deadline.poll("button 打开串口", lambda: find(win, "打开串口", pyatspi.ROLE_PUSH_BUTTON))
    do_action(open_button, "Press")
    connect = deadline.poll("button 连接设备 enabled",
                            lambda: find(win, "连接设备", pyatspi.ROLE_PUSH_BUTTON),
                            lambda b: b is not None and has_state(b, pyatspi.STATE_SENSITIVE))
    do_action(connect, "Press")
    deadline.poll("button 断开设备", lambda: find(win, "断开设备", pyatspi.ROLE_PUSH_BUTTON))
    lamps = [find(win, name) for name in ("串口已打开", "已连接")]
    print("lamps:", [lamp.name if lamp else None for lamp in lamps])
    if None in lamps:
        raise Failure("the lamps do not read 串口已打开 and 已连接")

    # The list is named for what it is, not by the port it shows.
    port_list = find(win, "串口", pyatspi.ROLE_COMBO_BOX)
    if port_list is None:
        raise Failure("the port list is not named 串口")
    labels = [target.name for relation in port_list.getRelationSet()
              if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
              for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
    print("port list labelled by:", labels)
    if "串口" not in labels:
        raise Failure("the port list is not labelled 串口")
    # The focus lands in the list's text field, which must carry the name.
    port_edit = find(port_list, "串口", pyatspi.ROLE_TEXT)
    print("port list text field:", port_edit.name if port_edit else None)
    if port_edit is None:
        raise Failure("the port list's text field is not named 串口")

    voltage = find(win, "通道 1 电压(mV)", pyatspi.ROLE_LABEL)
    clock = find(win, "时钟")
    log_pane = find(win, "接收数据", pyatspi.ROLE_TEXT)
    chart = find(win, "实时曲线", pyatspi.ROLE_CHART)
    zoom_in = find(chart, "放大", pyatspi.ROLE_PUSH_BUTTON)
    fit_all = find(chart, "全部显示", pyatspi.ROLE_PUSH_BUTTON)
    history = find(chart, "历史记录", pyatspi.ROLE_PUSH_BUTTON)
    plot_area = find(chart, "曲线区")
    for what, node in (("readout 通道 1 电压(mV)", voltage), ("clock 时钟", clock),
                       ("log pane 接收数据", log_pane), ("chart 实时曲线", chart),
                       ("the chart's toolbar button 放大", zoom_in),
                       ("the chart's toolbar button 全部显示", fit_all),
                       ("the chart's toolbar button 历史记录", history),
                       ("the chart's plot area 曲线区", plot_area)):
        if node is None:
            raise Failure(f"{what} not found")
    # Every one of them is reached from the keyboard.
    for node in (zoom_in, fit_all, history, plot_area):
        if not has_state(node, pyatspi.STATE_FOCUSABLE):
            raise Failure(f"{node.name} cannot take the focus")
    print("focusable in the chart:", [node.name for node in (zoom_in, fit_all, history, plot_area)])

    # A readout is a read-only value: no Increase or Decrease to offer.
    actions = action_names(voltage)
    print("readout 通道 1 电压(mV) actions:", actions)
    if any(name.lower() in ("increase", "decrease") for name in actions):
        raise Failure("the readout offers " + ", ".join(actions))

    # The readout, its value and the log's end all show the frame sent last.
    def frame_shown():
        frame = last_sent_frame(args.sent)
        if frame is None:
            return None
        fields = re.split("[,;]", frame.strip())
        shown = text_of(voltage)
        tail = tail_of(log_pane, len(frame))
        if shown == fields[3] and tail == frame:
            return frame, shown
        return None

    frame, shown = deadline.poll("the frame just sent on the readout and in the log", frame_shown)
    print("frame sent:", repr(frame))
    print("readout 通道 1 电压(mV): text", repr(shown))
    print("log pane ends with:", repr(tail_of(log_pane, len(frame))))

    def told(kind, source, data_test):
        for event_type, name, data in events:
            if str(event_type).startswith(kind) and name == source and data_test(data):
                return event_type, name, data
        return None

    print("event:", deadline.poll("a text change from 通道 1 电压(mV)", lambda: told(
        "object:text-changed:insert", "通道 1 电压(mV)", lambda data: True))[:2])
    print("event:", deadline.poll("a frame inserted into 接收数据", lambda: told(
        "object:text-changed:insert", "接收数据", lambda data: data in sent_frames(args.sent))))

    clock_text = deadline.poll("a time on the clock", lambda: text_of(clock),
                               lambda t: re.fullmatch(r"\d\d:\d\d:\d\d", t) is not None)
    print("clock:", repr(clock_text))

    # The description follows the chart within a second, so it may still give
    # the frame before the last.
    def newest_points():
        expected = []
        for sent in sent_frames(args.sent)[-2:]:
            fields = re.split("[,;]", sent.strip())
            expected.append(f"通道1 {fields[3]} mV, {fields[2]} s；通道2 {fields[9]} mV, {fields[8]} s")
        return expected, chart.description

    description = deadline.poll("the chart's newest points in its description", newest_points,
                                lambda pair: pair[1] in pair[0])[1]
    print("chart description:", repr(description))

    # The check boxes' handlers run on the accessibility action too.
    data_window = find(win, "数据窗口", pyatspi.ROLE_CHECK_BOX)
    if has_state(log_pane, pyatspi.STATE_SHOWING):
        raise Failure("the log pane shows before 数据窗口 is checked")
    do_action(data_window, "Toggle")
    deadline.poll("the log pane shown after Toggle on 数据窗口",
                  lambda: has_state(log_pane, pyatspi.STATE_SHOWING), bool)
    print("数据窗口 toggled: log pane showing")

    channel1 = find(win, "显示通道 1", pyatspi.ROLE_CHECK_BOX)
    do_action(channel1, "Toggle")
    description = deadline.poll("the chart without trace 通道1 after Toggle on 显示通道 1",
                                lambda: chart.description,
                                lambda d: "通道1" not in d and "通道2" in d)
    print("显示通道 1 toggled: chart description", repr(description))
    print("accessibility bus: all checks passed")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        sys.exit(1)
