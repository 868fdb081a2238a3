#!/usr/bin/env python3
"""Checks the compiled dialog templates field by field against the dialogs the program needs,
and the settings in the program's manifest.

The resource compiler quietly adds styles (WS_CHILD | WS_VISIBLE, and WS_TABSTOP or WS_GROUP
for some statements) and may store a class as a name or as an ordinal, so only the compiled
template tells what the dialog manager will build. This reads every DLGTEMPLATEEX from
a built program, a .res file, or a resource script that it compiles with windres.

    python3 tests/dialog_templates_test.py [vantorel.exe | file.res | file.rc] [unittest options]

Without a file it reads build/win64/vantorel.exe: the built program holds exactly what the
dialog manager and the loader will read.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RESOURCES = os.path.join(ROOT, "resources")

RT_DIALOG = 5
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
DS_SETFONT = 0x40

# Ordinals of the predefined control classes in a dialog template.
CLASS_ORDINALS = {"button": 0x80, "edit": 0x81, "static": 0x82, "listbox": 0x83}

NO_ID = 0xFFFFFFFF  # -1 in a 32-bit control id


def read_product_text(name):
    with open(os.path.join(RESOURCES, "product.h"), encoding="ascii") as header:
        match = re.search(r'#define\s+%s\s+"([^"]*)"' % name, header.read())
    if not match:
        raise AssertionError("resources/product.h defines no %s" % name)
    return match.group(1)


WEB_PAGE = read_product_text("VANTOREL_WEB_PAGE")
NOTICE = read_product_text("VANTOREL_NOTICE")

CAPTIONED = 0x90C808CC
FONT = (8, 0, 0, 1, "MS Shell Dlg")  # points, weight, italic, charset, face

# id: (style, caption, (x, y, cx, cy), [(id, class, text, style, (x, y, cx, cy)), ...])
EXPECTED = {
    1001: (0x900028CC, "", (6, 18, 210, 48), [
        (4001, "Static", "", 0x50000203, (3, 7, 32, 32)),
        (NO_ID, "Static", "Vantorel version 1.1", 0x50020000, (38, 12, 87, 8)),
        (4002, "Static", NOTICE, 0x50020000, (38, 23, 169, 8)),
    ]),
    1002: (CAPTIONED, "Set Timer", (6, 18, 97, 92), [
        (1, "Button", "OK", 0x50010000, (40, 69, 40, 14)),
        (0xFFFF, "Static", "Hours", 0x50020000, (7, 8, 32, 8)),
        (0xFFFF, "Static", "Minutes", 0x50020000, (7, 28, 32, 8)),
        (0xFFFF, "Static", "Seconds", 0x50020000, (7, 48, 32, 8)),
        (4011, "Edit", "0", 0x50812080, (42, 6, 40, 14)),
        (4012, "Edit", "0", 0x50812080, (42, 26, 40, 14)),
        (4013, "Edit", "0", 0x50812080, (42, 47, 40, 14)),
    ]),
    1003: (CAPTIONED, "Preferences", (6, 18, 299, 181), [
        (1, "Button", "OK", 0x50010000, (244, 156, 45, 15)),
        (4005, "Edit", "", 0x50810080, (92, 29, 40, 12)),
        (4006, "Edit", "", 0x50810080, (245, 29, 40, 12)),
        (4007, "Edit", "", 0x50810080, (245, 48, 40, 12)),
        (4008, "Edit", "", 0x50810880, (9, 132, 260, 12)),
        (4009, "Button", "...", 0x50010000, (270, 131, 20, 15)),
        (0xFFFF, "Static", "Buttons position from left", 0x50020000, (10, 31, 83, 8)),
        (0xFFFF, "Static", "Buttons position from top", 0x50020000, (160, 30, 84, 8)),
        (0xFFFF, "Static", "Timer display position from top", 0x50020000, (143, 49, 100, 8)),
        (0xFFFF, "Static",
         "Alarm .wav file (Program will use internal default sound if no file is selected.)",
         0x50020000, (10, 121, 278, 8)),
        (4001, "Button", "Display program's startup screen", 0x50010003, (10, 10, 123, 10)),
        (4002, "Button", "Enable program log", 0x50010003, (161, 11, 87, 10)),
        (4003, "Button", "Enable Alarm", 0x50010003, (10, 106, 65, 10)),
        (4004, "Edit", "", 0x50810880, (8, 86, 260, 12)),
        (4010, "Button", "...", 0x50010000, (269, 85, 20, 15)),
        (4011, "Static",
         "Ticking .wav file (Program will use internal default sound if no file is selected.)",
         0x50020000, (9, 75, 278, 8)),
        (4012, "Button", "Enable timer ticking sound", 0x50010003, (9, 60, 106, 10)),
    ]),
    1004: (CAPTIONED, "About this program", (6, 18, 210, 98), [
        (4001, "Static", "", 0x50000203, (3, 3, 32, 32)),
        (NO_ID, "Static", "Vantorel version 1.1", 0x50020000, (37, 9, 87, 8)),
        (4002, "Static", NOTICE, 0x50020000, (37, 19, 169, 8)),
        (NO_ID, "Edit",
         "To download the latest version of this program, please visit " + WEB_PAGE,
         0x50801844, (6, 38, 198, 28)),
        (4003, "Button", "Visit " + WEB_PAGE, 0x50010000, (5, 75, 147, 15)),
        (1, "Button", "OK", 0x50010000, (156, 75, 45, 15)),
    ]),
    1005: (CAPTIONED, "View Program Log", (6, 18, 266, 255), [
        (1, "Button", "OK", 0x50010000, (212, 228, 45, 15)),
        (4001, "Static", "Log Entries", 0x50020000, (5, 5, 40, 8)),
        (4002, "ListBox", "", 0x50B10041, (4, 17, 254, 208)),
        (4003, "Button", "Browse log folder...", 0x50010000, (5, 228, 70, 15)),
        (4004, "Button", "Delete log", 0x50010000, (95, 228, 45, 15)),
    ]),
}


class Reader:
    """Little-endian reader over one resource's bytes."""

    def __init__(self, data, offset=0):
        self.data = data
        self.offset = offset

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.offset)
        self.offset += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, size):
        self.offset = (self.offset + size - 1) // size * size

    def text(self):
        end = self.offset
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return value

    def name_or_ordinal(self):
        """An int for an ordinal (0xFFFF, n), a str for a name, None for an empty field."""
        first = self.take("H")
        if first == 0xFFFF:
            return self.take("H")
        if first == 0:
            return None
        self.offset -= 2
        return self.text()


def read_res(data):
    """{(type, name): bytes} of a 32-bit .res file."""
    resources = {}
    reader = Reader(data)
    while reader.offset + 8 <= len(data):
        start = reader.offset
        data_size, header_size = reader.take("II")
        kind = reader.name_or_ordinal()
        name = reader.name_or_ordinal()
        body = start + header_size
        resources[(kind, name)] = data[body:body + data_size]
        reader.offset = body + data_size
        reader.align(4)
    return resources


def read_dialog(data):
    reader = Reader(data)
    version, signature = reader.take("HH")
    if (version, signature) != (1, 0xFFFF):
        raise AssertionError("not an extended dialog template")
    dialog = {}
    dialog["helpId"], dialog["exStyle"], dialog["style"], count = reader.take("IIIH")
    dialog["rect"] = reader.take("hhhh")
    dialog["menu"] = reader.name_or_ordinal()
    dialog["class"] = reader.name_or_ordinal()
    dialog["caption"] = reader.text()
    dialog["font"] = None
    if dialog["style"] & DS_SETFONT:
        points, weight, italic, charset = reader.take("HHBB")
        dialog["font"] = (points, weight, italic, charset, reader.text())
    dialog["controls"] = []
    for _ in range(count):
        reader.align(4)
        control = {}
        control["helpId"], control["exStyle"], control["style"] = reader.take("III")
        control["rect"] = reader.take("hhhh")
        control["id"] = reader.take("I")
        control["class"] = reader.name_or_ordinal()
        control["text"] = reader.name_or_ordinal() or ""
        extra = reader.take("H")
        control["extra"] = extra
        reader.offset += extra
        dialog["controls"].append(control)
    return dialog


def read_pe(data):
    """{(type, name): bytes} from the resource section of a 32- or 64-bit executable."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise AssertionError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = []
    for index in range(sections):
        size, rva, _, raw = struct.unpack_from("<IIII", data, optional + optional_size + index * 40 + 8)
        table.append((rva, size, raw))

    def offset_of(target):
        for rva, size, raw in table:
            if rva <= target < rva + size:
                return target - rva + raw
        raise AssertionError("address 0x%x outside every section" % target)

    base = offset_of(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + index * 8)
            if name & 0x80000000:
                length = struct.unpack_from("<H", data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = data[start:start + 2 * length].decode("utf-16-le")
            yield name, target

    resources = {}
    for kind, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for _, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                resources[(kind, name)] = data[offset_of(rva):offset_of(rva) + size]
    return resources


def find_windres():
    for tool in ("x86_64-w64-mingw32-windres", "i686-w64-mingw32-windres", "windres"):
        if shutil.which(tool):
            return tool
    raise AssertionError("no windres found")


def write_generated_files(folder):
    """version.h and vantorel.manifest as the build generates them, from the project's one
    version number."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as lists:
        version = re.search(r"project\(vantorel VERSION ([0-9.]+)", lists.read()).group(1)
    parts = (version.split(".") + ["0"] * 4)[:4]
    values = {"PROJECT_VERSION": version, "PROJECT_VERSION_MAJOR": parts[0],
              "PROJECT_VERSION_MINOR": parts[1], "PROJECT_VERSION_PATCH": parts[2],
              "PROJECT_VERSION_TWEAK": parts[3]}
    for name in ("version.h", "vantorel.manifest"):
        with open(os.path.join(RESOURCES, name + ".in"), encoding="utf-8") as template:
            text = re.sub(r"@(\w+)@", lambda match: values[match.group(1)], template.read())
        with open(os.path.join(folder, name), "w", encoding="utf-8") as generated:
            generated.write(text)


def compiled_resources(source):
    if source.endswith(".exe"):
        with open(source, "rb") as program:
            return read_pe(program.read())
    if source.endswith(".res"):
        with open(source, "rb") as res:
            return read_res(res.read())
    with tempfile.TemporaryDirectory() as scratch:
        output = os.path.join(scratch, "dialogs.res")
        write_generated_files(scratch)
        subprocess.run([find_windres(), "-I", RESOURCES, "-I", scratch, source, "-O", "res",
                        "-o", output], check=True, cwd=os.path.dirname(source))
        with open(output, "rb") as res:
            return read_res(res.read())


SOURCE = os.path.join(os.path.dirname(RESOURCES), "build", "win64", "vantorel.exe")


def same_class(actual, expected_name):
    if isinstance(actual, int):
        return actual == CLASS_ORDINALS[expected_name.lower()]
    return isinstance(actual, str) and actual.lower() == expected_name.lower()


class DialogTemplates(unittest.TestCase):
    """Each dialog's frame and each of its controls, in template (= tab) order."""

    @classmethod
    def setUpClass(cls):
        cls.resources = compiled_resources(SOURCE)

    def dialog(self, dialog_id):
        data = self.resources.get((RT_DIALOG, dialog_id))
        self.assertIsNotNone(data, "dialog %d missing from %s" % (dialog_id, SOURCE))
        return read_dialog(data)

    def check_dialog(self, dialog_id):
        style, caption, rect, controls = EXPECTED[dialog_id]
        dialog = self.dialog(dialog_id)
        self.assertEqual(hex(dialog["style"]), hex(style), "style")
        self.assertEqual(dialog["exStyle"], 0, "extended style")
        self.assertEqual(dialog["helpId"], 0, "help id")
        self.assertEqual(dialog["caption"], caption)
        self.assertEqual(dialog["rect"], rect)
        self.assertIsNone(dialog["menu"], "menu")
        self.assertIsNone(dialog["class"], "window class")
        self.assertEqual(dialog["font"], FONT)
        self.assertEqual(len(dialog["controls"]), len(controls), "number of controls")
        for number, (actual, wanted) in enumerate(zip(dialog["controls"], controls), 1):
            control_id, class_name, text, control_style, control_rect = wanted
            with self.subTest(control=number, text=text):
                self.assertEqual(hex(actual["id"]), hex(control_id), "id")
                self.assertTrue(same_class(actual["class"], class_name),
                                "class %r, wanted %s" % (actual["class"], class_name))
                self.assertEqual(actual["text"], text)
                self.assertEqual(hex(actual["style"]), hex(control_style), "style")
                self.assertEqual(actual["rect"], control_rect)
                self.assertEqual((actual["exStyle"], actual["helpId"], actual["extra"]),
                                 (0, 0, 0), "extended style, help id, creation data")

    def test_startup_screen(self):
        self.check_dialog(1001)

    def test_set_timer(self):
        self.check_dialog(1002)

    def test_preferences(self):
        self.check_dialog(1003)

    def test_about_box(self):
        self.check_dialog(1004)

    def test_view_program_log(self):
        self.check_dialog(1005)

    def test_product_texts(self):
        self.assertRegex(WEB_PAGE, r"^https?://[^\s\"]+$")
        self.assertTrue(NOTICE and "\n" not in NOTICE, "the notice is one non-empty line")


ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
WINDOWS_SETTINGS_2017 = "http://schemas.microsoft.com/SMI/2017/WindowsSettings"
WINDOWS_SETTINGS_2019 = "http://schemas.microsoft.com/SMI/2019/WindowsSettings"


class Manifest(unittest.TestCase):
    """The process settings the loader reads from the manifest."""

    @classmethod
    def setUpClass(cls):
        data = compiled_resources(SOURCE).get((RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID))
        cls.manifest = ElementTree.fromstring(data) if data else None

    def setUp(self):
        self.assertIsNotNone(self.manifest, "no manifest in %s" % SOURCE)

    def windows_setting(self, namespace, name):
        path = "{%s}application/{%s}windowsSettings/{%s}%s" % (ASM_V3, ASM_V3, namespace, name)
        found = self.manifest.findall(path)
        self.assertEqual(len(found), 1, "%s in %s, once" % (name, namespace))
        return found[0].text

    def test_utf8_is_the_process_code_page(self):
        self.assertEqual(self.windows_setting(WINDOWS_SETTINGS_2019, "activeCodePage"), "UTF-8")

    def test_gdi_scales_the_text_of_a_dpi_unaware_program(self):
        self.assertEqual(self.windows_setting(WINDOWS_SETTINGS_2017, "gdiScaling"), "true")
        # Positions, sizes and the font height keep their 96-DPI meaning only while the program
        # stays DPI-unaware.
        declared = [element.tag for element in self.manifest.iter()
                    if element.tag.rsplit("}", 1)[-1] in ("dpiAware", "dpiAwareness")]
        self.assertEqual(declared, [], "DPI awareness declared")

    def test_every_windows_from_vista_on_is_declared_supported(self):
        # Without its entry a Windows runs the program in the compatibility mode of the one
        # before it.
        versions = {"Vista": "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                    "7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                    "8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                    "8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                    "10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
        declared = {element.get("Id") for element in self.manifest.iter(
            "{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
        for name, identifier in versions.items():
            self.assertIn(identifier, declared, "Windows %s" % name)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SOURCE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
