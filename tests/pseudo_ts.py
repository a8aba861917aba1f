#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a pseudo catalogue: every text of a Qt .ts catalogue shown as "[[text]]".

    pseudo_ts.py IN.ts OUT.ts

The text is the message's translation where it has one, else its source; each plural form is wrapped on
its own, and placeholders and access keys stay inside. Every message is marked finished, so the
catalogue built from it holds every text: a window run under it shows a text without brackets only
where that text never went through the catalogue.
"""
import copy
import sys
import xml.etree.ElementTree as ET

PLURAL_FORMS = 2  # English, for a plural message the catalogue has left without forms


def has_text(element):
    return element is not None and (bool(element.text) or len(element) > 0)


def wrap(target, model):
    """Puts the text of `model` into `target` as "[[text]]". A text may hold line breaks written as
    <byte value="xd"/> elements, which are kept, so the brackets go around the whole of it."""
    children = [copy.deepcopy(child) for child in model]
    text = model.text or ""
    for child in list(target):
        target.remove(child)
    target.text = "[[" + text
    target.extend(children)
    if children:
        children[-1].tail = (children[-1].tail or "") + "]]"
    else:
        target.text += "]]"


def pseudo(message):
    source = message.find("source")
    translation = message.find("translation")
    if translation is None:
        translation = ET.SubElement(message, "translation")
    if translation.get("type") in ("vanished", "obsolete"):
        return
    translation.attrib.pop("type", None)
    if message.get("numerus") == "yes":
        forms = translation.findall("numerusform")
        if not forms:
            translation.text = None
            forms = [ET.SubElement(translation, "numerusform") for _ in range(PLURAL_FORMS)]
        for form in forms:
            wrap(form, form if has_text(form) else source)
    else:
        wrap(translation, translation if has_text(translation) else source)


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: pseudo_ts.py IN.ts OUT.ts")
    tree = ET.parse(argv[1])
    for message in tree.getroot().iter("message"):
        pseudo(message)
    with open(argv[2], "wb") as out:
        out.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        tree.write(out, encoding="utf-8", xml_declaration=False)


if __name__ == "__main__":
    main(sys.argv)
