#!/usr/bin/python3
"""Makes the documents' font from Debian's Noto Sans CJK JP, so that a PDF's text reads back
as printed.

Qt's PDF writer maps each glyph back to the first (lowest) code point that the font maps to
it, and to nothing for a glyph no code point reaches. So in our copy:
- of the code points sharing a glyph only those text should give are kept in the character
  map (see preference): a Kangxi radical drawn as the ideograph (U+2F69 for U+767D, U+2ED1
  for U+9577) gives way to the unified ideograph;
- the substitutions that give glyphs no code point reaches are switched off: the localized
  forms turn digits next to Latin letters ("41.58R") into other digit glyphs, whose text was
  lost; ligatures and contextual alternates would do the same to Latin names.
Usage: document-font.py OUTPUT.otf
"""
import sys
import unicodedata

from fontTools.ttLib import TTCollection

SOURCE = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
FAMILY = "Pistel Document Sans"
UNUSED_FEATURES = {"locl", "calt", "liga", "dlig", "clig"}


def preference(cp):
    """How much text should give `cp` for a glyph it shares (lower first): a code point that is
    its own canonical form before a compatibility form, one of Latin or Japanese text before
    others (U+30FB before U+2027 for the middle dot, U+3000 before U+2003 for the space), and a
    radical never (the radicals supplement has no decompositions, yet its glyphs are the
    ideographs')."""
    if 0x2E80 <= cp <= 0x2FDF:
        return 9
    canonical = unicodedata.normalize("NFKC", chr(cp)) == chr(cp)
    usual = cp < 0x250 or 0x3000 <= cp <= 0x9FFF or 0xFF00 <= cp <= 0xFFEF
    return (0 if canonical else 2) + (0 if usual else 1)


def main(out):
    font = next(f for f in TTCollection(SOURCE).fonts
                if f["name"].getDebugName(1) == "Noto Sans CJK JP")
    by_glyph = {}
    for cp, glyph in font.getBestCmap().items():
        by_glyph.setdefault(glyph, []).append(cp)
    dropped = set()
    for cps in by_glyph.values():
        if len(cps) < 2:
            continue
        best = min(preference(cp) for cp in cps)
        dropped.update(cp for cp in cps if preference(cp) > best)
    for table in font["cmap"].tables:
        if table.isUnicode():
            for cp in dropped:
                table.cmap.pop(cp, None)
    gsub = font["GSUB"].table
    for record in gsub.FeatureList.FeatureRecord:
        if record.FeatureTag in UNUSED_FEATURES:
            record.Feature.LookupListIndex = []
            record.Feature.LookupCount = 0
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 4, 16, 17, 3, 6):
            text = {1: FAMILY, 16: FAMILY, 4: FAMILY, 17: "Regular", 3: FAMILY,
                    6: FAMILY.replace(" ", "")}[record.nameID]
            names.setName(text, record.nameID, record.platformID, record.platEncID,
                          record.langID)
    font.save(out)
    print(f"{out}: {len(dropped)} code points left to the canonical ones sharing their glyphs")


if __name__ == "__main__":
    main(sys.argv[1])
