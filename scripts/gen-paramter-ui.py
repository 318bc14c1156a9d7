#!/usr/bin/env python3
"""Writes resources/ui/ParamterFrm.ui, the layout of the parameter window.

The window has well over two hundred absolutely placed controls in regular rows
and columns; generating them keeps the rows consistent. Run it after changing a
place or caption here and commit both files:

    scripts/gen-paramter-ui.py
"""

import os
import xml.etree.ElementTree as ET

ROW_H = 25          # edits and combo boxes
LABEL_GAP = 8       # between a label's right edge and its control
UNIT_GAP = 4        # between a control and its unit label

# What screen readers call the parts of a date and time, and of a duration.
DATE_PARTS = {"Y": "year", "M": "month", "D": "day", "H": "hour", "N": "minute", "S": "second"}
DURATION_PARTS = {"H": "hours", "M": "minutes", "S": "seconds"}


def prop(widget, name, kind, value, **attrs):
    p = ET.SubElement(widget, "property", name=name)
    v = ET.SubElement(p, kind, **attrs)
    if kind == "rect":
        for tag, num in zip(("x", "y", "width", "height"), value):
            ET.SubElement(v, tag).text = str(num)
    else:
        v.text = str(value)
    return p


def widget(parent, cls, name, rect, **props):
    w = ET.SubElement(parent, "widget", {"class": cls, "name": name})
    prop(w, "geometry", "rect", rect)
    for key, value in props.items():
        if key == "text":
            prop(w, "text", "string", value)
        elif key == "title":
            prop(w, "title", "string", value)
        elif key == "align":
            prop(w, "alignment", "set", value)
        elif key == "buddy":
            prop(w, "buddy", "cstring", value)
        elif key in ("accessibleName", "accessibleDescription"):
            prop(w, key, "string", value)
        elif key == "picture":
            prop(w, "picture", "string", value).set("stdset", "0")
        elif key in ("enabled", "visible", "checked", "scaledContents"):
            prop(w, key, "bool", "true" if value else "false")
        elif key == "currentIndex":
            prop(w, key, "number", value)
        elif key == "frameShape":
            prop(w, key, "enum", value)
        elif key == "frameShadow":
            prop(w, key, "enum", value)
        else:
            raise KeyError(key)
    return w


def items(combo, texts):
    for text in texts:
        item = ET.SubElement(combo, "item")
        prop(item, "text", "string", text)


def label(parent, name, text, right, y, width, **props):
    """A caption that ends LABEL_GAP pixels left of the control at x = right."""
    return widget(parent, "QLabel", name, (right - LABEL_GAP - width, y, width, ROW_H),
                  text=text, align="Qt::AlignRight|Qt::AlignVCenter", **props)


def unit(parent, name, text, x, y, **props):
    """A unit label just right of the control that ends at x."""
    return widget(parent, "QLabel", name, (x + UNIT_GAP, y, 40 if len(text) > 1 else 22, ROW_H),
                  text=text, align="Qt::AlignLeft|Qt::AlignVCenter", **props)


def edit(parent, name, x, y, width, **props):
    return widget(parent, "QLineEdit", name, (x, y, width, ROW_H), **props)


def combo(parent, name, x, y, width, **props):
    return widget(parent, "QComboBox", name, (x, y, width, ROW_H), **props)


def time_zones():
    zones = []
    for i in range(53):
        minutes = (i - 24) * 30
        sign = "-" if minutes < 0 else "+"
        zones.append("UTC%s%02d:%02d" % (sign, abs(minutes) // 60, abs(minutes) % 60))
    return zones


def device_info(window):
    g = widget(window, "QGroupBox", "grb1", (160, 132, 824, 274), title="Device Info")
    left, right = 146, 180   # label widths of the two columns

    # A label that stands beside its control is the control's buddy, which
    # screen readers announce as the control's name. Where one caption serves
    # a row of parts, each part's unit label is its buddy and carries the full
    # name: some desktops name a combo box by its value and read its labels.
    label(g, "lblSerialNumber", "Serial Number", 160, 28, left, buddy="edtSerialNumber")
    edit(g, "edtSerialNumber", 160, 28, 121)
    label(g, "lblDeviceID", "Device ID", 488, 28, right, buddy="edtDeviceID")
    edit(g, "edtDeviceID", 488, 28, 121)

    label(g, "lblServiceLife", "Service Life", 160, 68, left, buddy="edtServiceLife")
    edit(g, "edtServiceLife", 160, 68, 81, accessibleDescription="In days")
    unit(g, "lblServiceLifeDay", "Day", 160 + 81, 68)
    label(g, "lblStartMode", "Start Mode", 489, 68, right, buddy="cbbStartMode")
    combo(g, "cbbStartMode", 489, 68, 120)

    label(g, "lblReportLanguage", "Report Language", 161, 108, left, buddy="cbbReportLanguage")
    combo(g, "cbbReportLanguage", 161, 108, 120)
    label(g, "lblMultipleStart", "Multiple Start/Stop", 489, 108, right, buddy="cbbMultipleStart")
    combo(g, "cbbMultipleStart", 489, 108, 120)

    label(g, "lblTempUnit", "Temp. Unit", 161, 149, left)
    widget(g, "QRadioButton", "rbC", (161, 149, 48, ROW_H), text="°C", checked=True,
           accessibleDescription="Temperature unit: degrees Celsius")
    widget(g, "QRadioButton", "rbF", (219, 149, 54, ROW_H), text="°F",
           accessibleDescription="Temperature unit: degrees Fahrenheit")
    label(g, "lblTimeZone", "Time Zone", 489, 148, right, buddy="cbbTimeZone")
    tz = combo(g, "cbbTimeZone", 489, 148, 120, currentIndex=24)
    items(tz, time_zones())

    columns = (("Y", 162), ("M", 253), ("D", 346), ("H", 434), ("N", 525), ("S", 618))
    for row, caption, y in (("StartTime", "Start Time", 188), ("SystemTime", "System Time", 228)):
        label(g, "lbl" + row, caption, 162, y, left)
        for part, x in columns:
            name = "cbb%s%s" % (row, part)
            spoken = "%s %s" % (caption, DATE_PARTS[part])
            combo(g, name, x, y, 61, accessibleName=spoken)
            unit(g, "lbl%s%sUnit" % (row, part), "M" if part == "N" else part, x + 61, y,
                 buddy=name, accessibleName=spoken)

    # Placed beyond the group's right edge, so the group clips them: they carry
    # values between a read and a save without ever being shown.
    hidden = (
        ("ProbeMode", "Probe Mode", "cbb", 1049, 28, 120),
        ("CycleSwitch", "Cycle Switch", "cbb", 1049, 68, 120),
        ("StopMode", "Stop Mode", "cbb", 932, 100, 245),
        ("CalibrationTemp", "Calibration Temperature", "edt", 1056, 132, 121),
        ("CalibrationHumidity", "Calibration Humidity", "edt", 1029, 164, 153),
        ("TemporaryPDFStartup", "Temporary PDF Startup", "cbb", 1023, 196, 153),
        ("PasswordStartup", "Password Startup", "cbb", 1057, 236, 120),
        ("Password", "Password", "edt", 1056, 268, 121),
    )
    for role, caption, kind, x, y, width in hidden:
        label(g, "lbl" + role, caption, x, y, 200, buddy=kind + role)
        (edit if kind == "edt" else combo)(g, kind + role, x, y, width, enabled=False)

    multiple = widget(g, "QFrame", "pnlMultipleAlarm", (16, 366, 1146, 107),
                      visible=False, frameShape="QFrame::NoFrame")
    alarm_rows(multiple, "Multiple", 43, (
        ("TemperatureH3", "Temperature H3:Over", True),
        ("TemperatureH2", "Temperature H2:Over", True),
        ("TemperatureH1", "Temperature H1:Over", False),
        ("TemperatureL1", "Temperature L1:Below", False),
        ("TemperatureL2", "Temperature L2:Below", True),
        ("HumidityH1", "Humidity H1:Over", True),
        ("HumidityL1", "Humidity L1:Below", True),
    ), delays_enabled=True)


def alarm_rows(panel, prefix, zone_x, rows, delays_enabled):
    for name, text, x in (("Zone", "Alarm Zone", 16), ("Threshold", "Temperature/Humidity", 280),
                          ("Mode", "Alarm Mode", 528), ("Delay", "Alarm Delay", 795)):
        widget(panel, "QLabel", "lbl%s%s" % (prefix, name), (x, 13, 240, 20), text=text,
               align="Qt::AlignLeft|Qt::AlignVCenter")
    for i, (role, zone, has_check) in enumerate(rows):
        y = 36 + 32 * i
        if has_check:
            widget(panel, "QCheckBox", "chk" + role, (18, y, 20, ROW_H),
                   accessibleName="%s alarm" % zone, accessibleDescription="Switches this alarm on")
        widget(panel, "QLabel", "lbl" + role, (zone_x, y, 230, ROW_H), text=zone,
               align="Qt::AlignLeft|Qt::AlignVCenter", buddy="cbb" + role)
        edit(panel, "edt" + role, 280, y, 121, accessibleName="%s threshold" % zone)
        items(combo(panel, "cbb" + role, 529, y, 120, accessibleName="%s alarm mode" % zone),
              ("Single", "Cumulative"))
        for part, x in (("H", 796), ("M", 887), ("S", 980)):
            name = "cbb%s%s" % (role, part)
            spoken = "%s alarm delay %s" % (zone, DURATION_PARTS[part])
            combo(panel, name, x, y, 61, accessibleName=spoken,
                  **({} if delays_enabled else {"enabled": False}))
            unit(panel, "lbl%s%s" % (role, part), part, x + 61, y, buddy=name, accessibleName=spoken)


def log_setting(window):
    g = widget(window, "QGroupBox", "grp3", (984, 132, 363, 274), title="Log Setting")
    for row, caption, y, parts in (("LogInterval", "Log Interval", 28, "HMS"),
                                   ("StartDelay", "Start Delay", 68, "HM")):
        label(g, "lbl" + row, caption, 132, y, 120)
        for part, x in zip(parts, (132, 223, 316)):
            shown = {} if part != "S" else {"visible": False}
            name = "cbb%s%s" % (row, part)
            spoken = "%s %s" % (caption, DURATION_PARTS[part])
            combo(g, name, x, y, 61, accessibleName=spoken, **shown)
            unit(g, "lbl%s%s" % (row, part), part, x + 61, y, buddy=name, accessibleName=spoken, **shown)


def alarm_setting(window):
    g = widget(window, "QGroupBox", "grp2", (160, 406, 1187, 345), title="Alarm Setting")
    widget(g, "QRadioButton", "rbNoAlarm", (38, 26, 113, ROW_H), text="No Alarm", checked=True)
    widget(g, "QRadioButton", "rbSingleAlarm", (184, 26, 129, ROW_H), text="Single Alarm")
    widget(g, "QRadioButton", "rbMultipleAlarm", (368, 26, 155, ROW_H), text="Multiple Alarm",
           visible=False)
    single = widget(g, "QFrame", "pnlSingleAlarm", (20, 54, 1167, 291), frameShape="QFrame::NoFrame")
    widget(single, "QFrame", "bvl1", (-48, 5, 1129, 2),
           frameShape="QFrame::HLine", frameShadow="QFrame::Sunken")
    # The delays of single alarm come from the logger; the user cannot set them.
    alarm_rows(single, "Single", 19, (
        ("SingleH1", "Temperature H1:Over", False),
        ("SingleL1", "Temperature L1:Below", False),
        ("SingleHumidityH1", "Humidity H1:Over", False),
        ("SingleHumidityL1", "Humidity L1:Below", False),
    ), delays_enabled=False)


def trip_information(window):
    g = widget(window, "QGroupBox", "grp1", (160, 628, 1187, 121), title="Trip Information",
               visible=False)
    widget(g, "QPlainTextEdit", "mmoTripInfo", (24, 26, 1137, 80), accessibleName="Trip Information")


FOCUSABLE = ("QLineEdit", "QComboBox", "QCheckBox", "QRadioButton", "QPlainTextEdit")
SECTIONS = {"grb1": 0, "grp3": 1, "grp2": 2, "pnlSingleAlarm": 3, "pnlMultipleAlarm": 4, "grp1": 5}
OUT_OF_SIGHT = 6
SAME_ROW = 12       # controls of one row differ in y by a pixel or two


def geometry(node):
    rect = node.find("property[@name='geometry']/rect")
    return [int(rect.find(tag).text) for tag in ("x", "y", "width", "height")]


def tab_order(window):
    """Tab goes section by section as the window reads (Device Info, Log Setting,
    Alarm Setting and then whichever of its two panels is shown, Trip
    Information) and row by row within each, left to right. Controls that lie beyond their group's
    edge, where the group clips them, come last."""
    found = []

    def walk(node, ox, oy, section, width):
        for child in node.findall("widget"):
            x, y, w, _ = geometry(child)
            name = child.get("name")
            if child.get("class") in FOCUSABLE:
                found.append((OUT_OF_SIGHT if x >= width else section, oy + y, ox + x, name))
            walk(child, ox + x, oy + y, SECTIONS.get(name, section), w)

    walk(window, 0, 0, OUT_OF_SIGHT, 1 << 30)
    order = []
    for section in sorted({entry[0] for entry in found}):
        rows = []
        for _, y, x, name in sorted(e for e in found if e[0] == section):
            if rows and y - rows[-1][0] < SAME_ROW:
                rows[-1][1].append((x, name))
            else:
                rows.append((y, [(x, name)]))
        for _, row in rows:
            order.extend(name for _, name in sorted(row))
    return order


def main():
    ui = ET.Element("ui", version="4.0")
    ET.SubElement(ui, "class").text = "TParamter"
    window = ET.SubElement(ui, "widget", {"class": "QWidget", "name": "TParamter"})
    prop(window, "geometry", "rect", (0, 0, 1388, 789))
    prop(window, "windowTitle", "string", "Paramter")

    # Creation order is stacking order: the skin at the bottom, each pressed
    # image under its normal image, the overlay over all images, the groups last.
    widget(window, "TImage", "img1", (0, 0, 1388, 789), picture=":/skin/background.png")
    for name, y, shown in (("Read", 168, True), ("Save", 284, True), ("Back", 400, False)):
        low = name.lower()
        extra = {} if shown else {"visible": False}
        widget(window, "TImage", "img%s0" % name, (54, y, 76, 76),
               picture=":/skin/%s_pressed.png" % low, **extra)
        widget(window, "TImage", "img" + name, (54, y, 76, 76), picture=":/skin/%s.png" % low, **extra)
    for name, rect, picture in (("imgAbout", (1177, 30, 36, 36), "about"),
                                ("imgHelp", (1220, 30, 36, 36), "help"),
                                ("imgMin", (1269, 34, 24, 24), "minimize"),
                                ("imgClose", (1313, 34, 23, 24), "close")):
        widget(window, "TImage", name, rect, picture=":/skin/%s.png" % picture)
    # The overlay's picture is loaded when the About window first opens: it is
    # seldom seen and the largest picture to decode at start-up.
    widget(window, "TImage", "imgTran", (0, 0, 1388, 789),
           visible=False, scaledContents=False, align="Qt::AlignLeft|Qt::AlignTop")

    device_info(window)
    log_setting(window)
    alarm_setting(window)
    trip_information(window)

    custom = ET.SubElement(ET.SubElement(ui, "customwidgets"), "customwidget")
    ET.SubElement(custom, "class").text = "TImage"
    ET.SubElement(custom, "extends").text = "QLabel"
    ET.SubElement(custom, "header").text = "Image.h"
    tabstops = ET.SubElement(ui, "tabstops")
    for name in tab_order(window):
        ET.SubElement(tabstops, "tabstop").text = name
    ET.SubElement(ui, "resources")
    ET.SubElement(ui, "connections")

    ET.indent(ui, space=" ")
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "ui", "ParamterFrm.ui")
    with open(target, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        out.write(ET.tostring(ui, encoding="unicode"))
        out.write("\n")


if __name__ == "__main__":
    main()
