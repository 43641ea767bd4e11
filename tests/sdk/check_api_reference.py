#!/usr/bin/env python3
"""Checks the API reference Doxygen made from include/velnor.h.

check_api_reference.py <doxygen output dir> <Velnor.def> <api_reference_retvals.txt>

Every export of the .def file is documented with \\param[in|out] for each of
its parameters, \\return, and exactly the \\retval codes the table lists; the
two records document every field; the main page has the result-code table
(every named code with its value and name), the log file, the threads, the
handles and the driver's replies sections, and a functions section linking
every export to its entry; the HTML pages are there, and none shows Doxygen
markup or the export macro as text.
"""
import html
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

# Value and name of each named result code, as callers see them.
RESULT_CODES = {
    "SUCCESS": (0, "success"),
    "INTERNAL_ERROR": (-1, "internal_error"),
    "AD9516_COMMUNICATION_ERROR": (-2, "ad9516_communication_error"),
    "INVALID_DEVICE": (-3, "invalid_device"),
    "NULL_PARAMETER": (-4, "null_parameter"),
    "FAILED": (-5, "failed"),
    "NO_MEMORY": (-6, "no_memory"),
    "INVALID_DEVICE_TYPE": (-7, "invalid_device_type"),
    "UPDATE_INVALID_STATUS": (-8, "update_invalid_status"),
    "INVALID_DATA": (-9, "invalid_data"),
    "TIMEOUT": (-10, "timeout"),
    "PLL_NOT_LOCKED": (-11, "pll_not_locked"),
    "INVALID_FREQUENCY": (-13, "invalid_frequency"),
}
RECORDS = {"vl_version": ["major", "minor", "patch", "text"],
           "vl_clock": ["mode", "reserved", "frequency_hz"]}
SECTIONS = ["functions", "result_codes", "log_file", "threads", "handles", "transport",
            "records"]
# Markup the reader should never see: a Doxygen command that reached the page
# as text (an escaped or misspelt one), or the export macro in a signature.
LEAKED = re.compile(r"[\\@](?:retval|returns?|param|ref|brief|section|see|note)\b|\bVL_API\b")

problems = []


def fail(text):
    problems.append(text)


def text_of(element):
    return "".join(element.itertext()).strip() if element is not None else ""


def description(member):
    """Brief and detailed description together (a trailing comment gives the latter)."""
    return (text_of(member.find("briefdescription")) + " " +
            text_of(member.find("detaileddescription"))).strip()


# The watcher's two functions and the result codes each can return.
WATCH_RETVALS = {
    "vl_watch_start": ["SUCCESS", "NULL_PARAMETER", "FAILED", "NO_MEMORY", "INTERNAL_ERROR"],
    "vl_watch_stop": ["SUCCESS", "NULL_PARAMETER"],
}


def main():
    out = pathlib.Path(sys.argv[1])
    exports = [line.strip() for line in open(sys.argv[2]) if line.startswith("    vl_")]
    expected_retvals = {}
    for line in open(sys.argv[3]):
        if line.strip() and not line.startswith("#"):
            name, *codes = line.split()
            expected_retvals[name] = codes
    if sorted(exports) != sorted(expected_retvals):
        fail("the retval table and the export list name different functions")

    header = ET.parse(out / "xml" / "velnor_8h.xml").getroot()
    functions = {m.findtext("name"): m for m in header.iter("memberdef")
                 if m.get("kind") == "function"}
    for name in exports:
        member = functions.get(name)
        if member is None:
            fail(f"{name}: not in the reference")
            continue
        check_function(name, member, expected_retvals.get(name, []))
    if "vl_rc_name" in functions:
        check_function("vl_rc_name", functions["vl_rc_name"], None)
    else:
        fail("vl_rc_name: not in the reference")

    enumerators = {m.findtext("name"): m for m in header.iter("enumvalue")}
    for code, (value, _) in RESULT_CODES.items():
        enumerator = enumerators.get("VL_RC_" + code)
        if enumerator is None or description(enumerator) == "":
            fail(f"VL_RC_{code}: no description")
        elif "".join(enumerator.findtext("initializer", "").split()) != f"={value}":
            fail(f"VL_RC_{code}: initializer {enumerator.findtext('initializer')}")

    for record, fields in RECORDS.items():
        path = out / "xml" / f"struct{record.replace('_', '__')}.xml"
        if not path.exists():
            fail(f"{record}: no page")
            continue
        compound = ET.parse(path).getroot().find("compounddef")
        if description(compound) == "":
            fail(f"{record}: not described")
        documented = {m.findtext("name"): description(m)
                      for m in compound.iter("memberdef")}
        for field in fields:
            if not documented.get(field):
                fail(f"{record}.{field}: not described")

    # The watcher's header, beside the library's.
    watch_header = ET.parse(out / "xml" / "velnor__watch_8h.xml").getroot()
    watch_functions = {m.findtext("name"): m for m in watch_header.iter("memberdef")
                       if m.get("kind") == "function"}
    for name, codes in WATCH_RETVALS.items():
        if name not in watch_functions:
            fail(f"{name}: not in the reference")
        else:
            check_function(name, watch_functions[name], codes)

    check_main_page(ET.parse(out / "xml" / "indexpage.xml").getroot())
    check_function_links(ET.parse(out / "xml" / "indexpage.xml").getroot(), functions, exports)
    check_html_text(out / "html")
    for page in ["index.html", "velnor_8h.html", "structvl__version.html",
                 "structvl__clock.html"]:
        if not (out / "html" / page).exists():
            fail(f"html/{page} is missing")

    if problems:
        print("the API reference is incomplete:\n  " + "\n  ".join(problems))
        return 1
    print(f"API reference: {len(exports)} exports with parameters, return and "
          f"result codes, each linked from the main page; records, result-code table, "
          f"log file, threads and driver replies documented; no markup shown as text")
    return 0


def check_function(name, member, expected):
    params = [p.findtext("declname") for p in member.findall("param")
              if p.findtext("declname")]
    details = member.find("detaileddescription")
    documented = {}
    for item in details.iter("parameteritem"):
        kind = None
        for plist in details.iter("parameterlist"):
            if item in list(plist):
                kind = plist.get("kind")
        if kind != "param":
            continue
        for pname in item.iter("parametername"):
            documented[pname.text] = pname.get("direction")
    if sorted(documented) != sorted(params):
        fail(f"{name}: documents parameters {sorted(documented)}, has {sorted(params)}")
    for pname, direction in documented.items():
        if direction not in ("in", "out", "inout"):
            fail(f"{name}: parameter {pname} has no [in] or [out]")
    returns = [s for s in details.iter("simplesect") if s.get("kind") == "return"]
    if len(returns) != 1 or text_of(returns[0]) == "":
        fail(f"{name}: no \\return")
    retvals = []
    for plist in details.iter("parameterlist"):
        if plist.get("kind") == "retval":
            for item in plist.findall("parameteritem"):
                code = text_of(item.find("parameternamelist"))
                retvals.append(code)
                if text_of(item.find("parameterdescription")) == "":
                    fail(f"{name}: \\retval {code} says nothing")
    if expected is None:
        if retvals:
            fail(f"{name}: returns a name, not a result code, yet has \\retval")
        return
    for code in retvals:
        if not code.startswith("VL_RC_") or code[6:] not in RESULT_CODES:
            fail(f"{name}: \\retval {code} is not a result code")
    if len(set(retvals)) != len(retvals):
        fail(f"{name}: a \\retval is repeated: {retvals}")
    wanted = sorted("VL_RC_" + c for c in expected)
    if sorted(retvals) != wanted:
        fail(f"{name}: \\retval {sorted(retvals)}, expected {wanted}")


def check_main_page(page):
    ids = [s.get("id", "") for s in page.iter() if s.tag.startswith("sect")]
    for section in SECTIONS:
        if not any(i.endswith("_1" + section) or i.endswith(section) for i in ids):
            fail(f"main page: no section {section}")
    rows = {}
    for row in page.iter("row"):
        cells = [text_of(entry) for entry in row.findall("entry")]
        if len(cells) >= 3:
            rows[cells[1]] = cells
    for code, (value, text) in RESULT_CODES.items():
        cells = rows.get("VL_RC_" + code)
        if cells is None:
            fail(f"result-code table: no row for VL_RC_{code}")
        elif cells[0] != str(value) or cells[2] != text:
            fail(f"result-code table: VL_RC_{code} row reads {cells[:3]}")
    log = "".join(page.itertext())
    for phrase in ["Velnor.log", "emptied at the first failure", "flushed after every line"]:
        if phrase not in log:
            fail(f"main page: the log file section lacks '{phrase}'")


def check_function_links(page, functions, exports):
    """The main page's functions section links every export to its entry."""
    section = next((s for s in page.iter("sect1") if s.get("id", "").endswith("_1functions")),
                   None)
    if section is None:
        return  # reported by check_main_page
    ids = {member.get("id"): name for name, member in functions.items()}
    linked = set()
    for ref in section.iter("ref"):
        if ref.get("kindref") == "member" and ref.get("refid") in ids:
            linked.add(ids[ref.get("refid")])
    for name in exports:
        if name not in linked:
            fail(f"main page: the functions section does not link {name}")


def check_html_text(html_dir):
    """No page shows markup as text (the header's source listing aside)."""
    for page in sorted(html_dir.glob("*.html")):
        if page.name.endswith("_source.html"):
            continue
        text = re.sub(r"<script.*?</script>", "", page.read_text(), flags=re.S)
        text = html.unescape(re.sub(r"<[^>]+>", "", text))
        match = LEAKED.search(text)
        if match:
            context = " ".join(text[max(0, match.start() - 40):match.end() + 20].split())
            fail(f"html/{page.name} shows '{match.group(0)}' as text: ...{context}...")


if __name__ == "__main__":
    sys.exit(main())
