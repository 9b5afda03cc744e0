#!/usr/bin/env python3
"""Compile orvgui.rc and check the compiled resources.

    check-resources.py [--windres PROGRAM] [--res FILE.res]

Compiles orvgui.rc into a temporary .res file with windres (or reads
the given .res), parses it and checks that:
  - every IDS_, IDD_, IDB_ and IDR_ constant of resource.h has its
    resource, and the string table holds no id without a constant;
  - texts went through UTF-8 correctly (no mojibake, escapes turned
    into control characters);
  - each wizard page has its size and the property-page style, and its
    controls lie inside the page without overlapping one another;
  - each dialog holds the controls the wizard code looks up;
  - the radio buttons of a group follow one another, the first with
    WS_GROUP, and the control after the last starts a new group;
  - the bitmaps have their sizes, and the 16x16 strips use magenta as
    background;
  - the pop-up menu holds its three commands.
Prints one line per check and ends with "N passed, N failed".
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

RT_ICON, RT_BITMAP, RT_MENU, RT_DIALOG, RT_STRING, RT_GROUP_ICON = 3, 2, 4, 5, 6, 14

WS_CHILD = 0x40000000
WS_DISABLED = 0x08000000
WS_CAPTION = 0x00C00000
WS_GROUP = 0x00020000
DS_SETFONT = 0x40
BS_TYPEMASK = 0x0F
BS_AUTORADIOBUTTON = 9
BS_GROUPBOX = 7


def read_header(path):
    consts = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"\s*#define\s+(\w+)\s+\(?(-?(?:0x[0-9A-Fa-f]+|\d+))\)?", line)
            if m:
                consts[m.group(1)] = int(m.group(2), 0)
    return consts


# ----------------------------------------------------------------------
# .res parsing
# ----------------------------------------------------------------------

def sz_or_ord(data, pos):
    (first,) = struct.unpack_from("<H", data, pos)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def parse_res(data):
    resources = {}
    pos = 0
    while pos + 8 <= len(data):
        size, header_size = struct.unpack_from("<II", data, pos)
        rtype, p = sz_or_ord(data, pos + 8)
        name, p = sz_or_ord(data, p)
        body = data[pos + header_size:pos + header_size + size]
        if size:
            resources[(rtype, name)] = body
        pos = (pos + header_size + size + 3) & ~3
    return resources


def parse_strings(resources):
    table = {}
    for (rtype, block), body in resources.items():
        if rtype != RT_STRING:
            continue
        p = 0
        for i in range(16):
            (n,) = struct.unpack_from("<H", body, p)
            p += 2
            if n:
                table[(block - 1) * 16 + i] = body[p:p + 2 * n].decode("utf-16-le")
            p += 2 * n
    return table


def parse_dialogex(body):
    ver, sig, _help, exstyle, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", body, 0)
    assert ver == 1 and sig == 0xFFFF, "not a DIALOGEX template"
    p = 26
    _menu, p = sz_or_ord(body, p)
    _cls, p = sz_or_ord(body, p)
    title, p = sz_or_ord(body, p)
    font = None
    if style & DS_SETFONT:
        size, weight, _italic, _charset = struct.unpack_from("<HHBB", body, p)
        face, p = sz_or_ord(body, p + 6)
        font = (size, face)
    items = []
    for _ in range(count):
        p = (p + 3) & ~3
        _help, iex, istyle, ix, iy, icx, icy, iid = struct.unpack_from(
            "<IIIhhhhi", body, p)
        p += 24
        cls, p = sz_or_ord(body, p)
        text, p = sz_or_ord(body, p)
        (extra,) = struct.unpack_from("<H", body, p)
        p += 2 + extra
        standard = {0x80: "Button", 0x81: "Edit", 0x82: "Static",
                    0x83: "ListBox", 0x84: "ScrollBar", 0x85: "ComboBox"}
        if isinstance(cls, int):
            cls = standard.get(cls, cls)
        else:
            # windres writes the standard classes by name, in capitals.
            cls = {n.lower(): n for n in standard.values()}.get(cls.lower(), cls)
        items.append(dict(id=iid, cls=cls, text=text, style=istyle,
                          rect=(ix, iy, ix + icx, iy + icy)))
    return dict(style=style, size=(cx, cy), title=title, font=font, items=items)


def parse_menu_ids(body):
    ids = []
    p = 4
    depth = 1
    while p < len(body) and depth:
        (flags,) = struct.unpack_from("<H", body, p)
        p += 2
        if flags & 0x10:                    # MF_POPUP
            _text, p = sz_or_ord(body, p)
            depth += 1
        else:
            (mid,) = struct.unpack_from("<H", body, p)
            _text, p = sz_or_ord(body, p + 2)
            ids.append(mid)
        if flags & 0x80:                    # MF_END
            depth -= 1
    return ids


def bitmap_info(body):
    _size, w, h, _planes, bpp = struct.unpack_from("<IiiHH", body, 0)
    return w, h, bpp


def bitmap_pixel(body, x, y):
    _size, w, h = struct.unpack_from("<Iii", body, 0)
    stride = (w * 3 + 3) & ~3
    off = 40 + (h - 1 - y) * stride + x * 3
    b, g, r = body[off:off + 3]
    return r, g, b


# ----------------------------------------------------------------------

class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print("ok   " + name)
        else:
            self.failed += 1
            print("FAIL " + name + (": " + detail if detail else ""))


EXTERIOR = ("IDD_WELCOME", "IDD_COMPLETE")
PAGES = ("IDD_WELCOME", "IDD_COMPLETE", "IDD_SUMMARY", "IDD_FILE_ACTION",
         "IDD_FOLDER_ACTION", "IDD_PROCESSES", "IDD_SELECT", "IDD_PENDING",
         "IDD_REPLACE_FILE", "IDD_RENAME_FILE", "IDD_MOVE_FILE",
         "IDD_MOVE_FOLDER", "IDD_RENAME_FOLDER")

# Controls that the wizard code reaches by id, per template.
REQUIRED = {
    "IDD_WELCOME": ["IDC_BIG_TITLE", "IDC_CONTEXT_MENU", "IDC_ABOUT"],
    "IDD_COMPLETE": ["IDC_BIG_TITLE", "IDC_NO_RESTART", "IDC_RESTART_TEXT",
                     "IDC_SHOW_REPORT"],
    "IDD_SUMMARY": ["IDC_OPERATION_TREE", "IDC_REMOVE", "IDC_SHOW_PROCESSES",
                    "IDC_ADD", "IDC_PROGRESS_TEXT"],
    "IDD_FILE_ACTION": ["IDC_FILE_DELETE", "IDC_FILE_RENAME",
                        "IDC_FILE_REPLACE", "IDC_FILE_MOVE"],
    "IDD_FOLDER_ACTION": ["IDC_FOLDER_DELETE", "IDC_FOLDER_RENAME",
                          "IDC_FOLDER_MOVE", "IDC_PROGRESS_TEXT"],
    "IDD_PROCESSES": ["IDC_PROCESS_NOTE", "IDC_PROCESS_FILE", "IDC_PROCESS_LIST", "IDC_TERMINATE",
                      "IDC_REFRESH", "IDC_RELEASE"],
    "IDD_SELECT": ["IDC_SELECT_PATH", "IDC_SELECT_BROWSE"],
    "IDD_PENDING": ["IDC_PENDING_KEEP", "IDC_PENDING_REMOVE",
                    "IDC_PENDING_IGNORE"],
    "IDD_REPLACE_FILE": ["IDC_CURRENT_PATH", "IDC_FILE_VERSION",
                         "IDC_REPLACEMENT_PATH", "IDC_BROWSE"],
    "IDD_RENAME_FILE": ["IDC_CURRENT_FILE_NAME", "IDC_NEW_FILE_NAME"],
    "IDD_MOVE_FILE": ["IDC_CURRENT_PATH", "IDC_MOVE_DESTINATION", "IDC_BROWSE"],
    "IDD_MOVE_FOLDER": ["IDC_CURRENT_FOLDER_PATH", "IDC_MOVE_DESTINATION",
                        "IDC_BROWSE"],
    "IDD_RENAME_FOLDER": ["IDC_CURRENT_FOLDER_NAME", "IDC_NEW_FOLDER_NAME"],
    "IDD_ABOUTBOX": ["IDC_ABOUT_TITLE", "IDC_ABOUT_VERSION",
                     "IDC_ABOUT_COPYRIGHT"],
    "IDD_SELECT_REGISTRY_FILE": ["IDC_REGISTRY_LIST", "IDC_COMPANY_NAME",
                                 "IDC_KEEP_REGISTRY_LINK", "IDC_DELETE_KEY"],
}

BITMAPS = {"IDB_WATERMARK": (164, 314), "IDB_HEADER": (49, 49),
           "IDB_TREE_IMAGES": (16 * 10, 16), "IDB_PROCESS_IMAGES": (16 * 2, 16),
           "IDB_REGISTRY_IMAGES": (16 * 2, 16)}


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def inside(a, b):
    return b[0] <= a[0] and b[1] <= a[1] and a[2] <= b[2] and a[3] <= b[3]


def check_dialog(c, name, dlg, k):
    items = dlg["items"]
    ids = {it["id"] for it in items}
    missing = [n for n in REQUIRED.get(name, []) if k[n] not in ids]
    c.check(name + " has its controls", not missing, ", ".join(missing))

    cx, cy = dlg["size"]
    outside = [it["text"] or str(it["id"]) for it in items
               if not inside(it["rect"], (0, 0, cx, cy))]
    c.check(name + " controls inside the template", not outside, "; ".join(outside))

    clashes = []
    for i, a in enumerate(items):
        for b in items[i + 1:]:
            if not overlaps(a["rect"], b["rect"]):
                continue
            box = [it for it in (a, b) if it["cls"] == "Button"
                   and it["style"] & BS_TYPEMASK == BS_GROUPBOX]
            if box and inside((b if box[0] is a else a)["rect"], box[0]["rect"]):
                continue
            clashes.append("%r / %r" % (a["text"] or a["id"], b["text"] or b["id"]))
    c.check(name + " controls do not overlap", not clashes, "; ".join(clashes))

    radios = [it for it in items if it["cls"] == "Button"
              and it["style"] & BS_TYPEMASK == BS_AUTORADIOBUTTON]
    if radios:
        # The radio buttons one after the other, the first starting the
        # group and the control after the last starting the next one: the
        # arrow keys then move between the choices only.
        first = items.index(radios[0])
        last = items.index(radios[-1])
        inner = [it["text"] or str(it["id"]) for it in items[first + 1:last + 1]
                 if it["style"] & WS_GROUP or it not in radios]
        after = items[last + 1:last + 2]
        open_end = [it["text"] or str(it["id"]) for it in after if not it["style"] & WS_GROUP]
        c.check(name + " radio group", radios[0]["style"] & WS_GROUP and not inner and not open_end,
                "; ".join(inner + open_end))

    if name in PAGES:
        need = WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT
        c.check(name + " page style", dlg["style"] & need == need)
        if name in EXTERIOR:
            want = (317, 193)
        elif name == "IDD_PROCESSES":
            want = (317, 157)
        else:
            want = (317, 143)
        c.check(name + " page size", dlg["size"] == want, str(dlg["size"]))
        if name in EXTERIOR:
            title = [it for it in items if it["id"] == k["IDC_BIG_TITLE"]]
            c.check(name + " leaves the watermark area empty",
                    title and all(it["rect"][0] >= 110 for it in items))
    c.check(name + " font", dlg["font"] == (8, "MS Shell Dlg"), str(dlg["font"]))


def main(argv):
    windres = "i686-w64-mingw32-windres"
    res_path = None
    while argv:
        if argv[0] == "--windres" and len(argv) > 1:
            windres, argv = argv[1], argv[2:]
        elif argv[0] == "--res" and len(argv) > 1:
            res_path, argv = argv[1], argv[2:]
        else:
            print(__doc__)
            return 2

    k = read_header(os.path.join(HERE, "resource.h"))
    c = Checks()

    tmp = None
    if res_path is None:
        tmp = tempfile.NamedTemporaryFile(suffix=".res", delete=False)
        tmp.close()
        res_path = tmp.name
        run = subprocess.run([windres, "--codepage=65001", "-I", HERE,
                              "-i", os.path.join(HERE, "orvgui.rc"),
                              "-O", "res", "-o", res_path],
                             capture_output=True, text=True)
        c.check("windres compiles orvgui.rc", run.returncode == 0, run.stderr.strip())
        if run.returncode != 0:
            print("%d passed, %d failed" % (c.passed, c.failed))
            return 1
    with open(res_path, "rb") as f:
        resources = parse_res(f.read())
    if tmp:
        os.unlink(tmp.name)

    # strings
    table = parse_strings(resources)
    ids = {v: n for n, v in k.items() if n.startswith("IDS_")}
    missing = sorted(n for v, n in ids.items() if not table.get(v))
    c.check("every IDS_ has a text", not missing, ", ".join(missing))
    extra = sorted(v for v in table if v not in ids)
    c.check("every text has an IDS_", not extra, str(extra))
    bad = sorted(v for v, t in table.items()
                 if "Ã" in t or "\ufffd" in t or "\\" in t)
    c.check("texts decoded from UTF-8, escapes applied", not bad, str(bad))
    c.check("accented text", table.get(k["IDS_PROTECTED_FILE"]) == "Fichier Protégé")
    c.check("line feeds and tabs",
            "\n\n" in table.get(k["IDS_CANNOT_TERMINATE"], "")
            and "\t\t" in table.get(k["IDS_PROCESS_INFO_FORMAT"], ""))
    c.check("product name", table.get(k["IDS_PRODUCT_NAME"]) == "Orvane")
    c.check("column lists", table.get(k["IDS_PROCESS_COLUMNS"], "").count(";") == 3
            and table.get(k["IDS_REGISTRY_COLUMNS"], "").count(";") == 1)

    # dialogs
    for name, value in sorted(k.items()):
        if not name.startswith("IDD_"):
            continue
        body = resources.get((RT_DIALOG, value))
        c.check(name + " exists", body is not None)
        if body is not None:
            check_dialog(c, name, parse_dialogex(body), k)

    # texts and classes the code depends on
    def item(dlg_name, ctl_name):
        body = resources.get((RT_DIALOG, k[dlg_name]))
        if body is None:
            return None
        for it in parse_dialogex(body)["items"]:
            if it["id"] == k[ctl_name]:
                return it
        return None

    tree = item("IDD_SUMMARY", "IDC_OPERATION_TREE")
    c.check("operation tree class and style", tree is not None
            and tree["cls"].lower() == "systreeview32" and tree["style"] & 0x1F == 0x17)
    plist = item("IDD_PROCESSES", "IDC_PROCESS_LIST")
    c.check("process list: report view, several rows selectable",
            plist is not None and plist["cls"].lower() == "syslistview32"
            and plist["style"] & 3 == 1 and not plist["style"] & 4
            and plist["style"] & 8)
    rlist = item("IDD_SELECT_REGISTRY_FILE", "IDC_REGISTRY_LIST")
    c.check("registry list: report view, one row selectable",
            rlist is not None and rlist["cls"].lower() == "syslistview32"
            and rlist["style"] & 3 == 1 and rlist["style"] & 4 and rlist["style"] & 8)
    term = item("IDD_PROCESSES", "IDC_TERMINATE")
    c.check("terminate button starts disabled",
            term is not None and term["style"] & WS_DISABLED
            and term["text"] == "&Terminer le Processus")
    for dlg_name, ctl_name, text in (
            ("IDD_FILE_ACTION", "IDC_FILE_REPLACE", "R&emplacer"),
            ("IDD_FOLDER_ACTION", "IDC_FOLDER_MOVE", "&Déplacer"),
            ("IDD_PENDING", "IDC_PENDING_REMOVE", "Acquérir et &Enlever"),
            ("IDD_SUMMARY", "IDC_ADD", "Ajouter >"),
            ("IDD_SUMMARY", "IDC_SHOW_PROCESSES", "Processus >"),
            ("IDD_PROCESSES", "IDC_REFRESH", "&Rafraîchir"),
            ("IDD_PROCESSES", "IDC_RELEASE", "&Libérer")):
        it = item(dlg_name, ctl_name)
        c.check("%s text of %s" % (dlg_name, ctl_name),
                it is not None and it["text"] == text,
                repr(it["text"]) if it else "missing")

    # menu
    body = resources.get((RT_MENU, k["IDR_SELECT_MENU"]))
    c.check("pop-up menu commands", body is not None and parse_menu_ids(body) == [
        k["IDM_SELECT_FILE"], k["IDM_SELECT_REGISTRY_FILE"], k["IDM_SELECT_FOLDER"]])

    # bitmaps
    for name, size in BITMAPS.items():
        body = resources.get((RT_BITMAP, k[name]))
        ok = body is not None and bitmap_info(body) == size + (24,)
        c.check(name + " size and depth", ok,
                str(bitmap_info(body)) if body else "missing")
        if ok and size[1] == 16:
            corners = [bitmap_pixel(body, x, 0) for x in range(0, size[0], 16)]
            c.check(name + " magenta background",
                    all(px == (255, 0, 255) for px in corners))

    # icon
    group = resources.get((RT_GROUP_ICON, k["IDI_ORVANE"]))
    sizes = []
    if group:
        (count,) = struct.unpack_from("<H", group, 4)
        for i in range(count):
            w, h, _c, _r, _p, bpp = struct.unpack_from("<BBBBHH", group, 6 + 14 * i)
            sizes.append((w or 256, h or 256, bpp))
    c.check("icon 32x32 and 16x16, 32 bpp",
            sorted(sizes) == [(16, 16, 32), (32, 32, 32)], str(sizes))

    print("%d passed, %d failed" % (c.passed, c.failed))
    return 0 if c.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
