"""Checks the user manual: one page that needs nothing beyond itself but
its pictures of the program's windows, whose links inside the page all lead
somewhere, whose pictures each have a text for who cannot see them and are
all among the pictures made for it (and those all shown), and whose quotes
of the program's texts (elements of class "ui" or "msg") are texts the
program really shows.

    tst_manual.py MANUAL PICTURES_DIR SOURCE_DIR...
"""

import html.parser
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

EXTERNAL_ELEMENTS = {"script", "link", "iframe", "object", "embed", "audio", "video", "source", "base"}
PICTURE = re.compile(r"images/[a-z0-9-]+\.png")
QUOTE_CLASSES = {"ui", "msg"}
VOID_ELEMENTS = {"br", "hr", "meta", "wbr", "col", "input", "area", "img", "link", "source", "base", "embed"}


def normalised(text):
    return " ".join(text.split())


class Manual(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.problems = []
        self.pictures = []
        self.ids = []
        self.fragments = []
        self.quotes = []
        self.open_quotes = []  # [depth, collected text] of each quote being read
        self.depth = 0
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag in EXTERNAL_ELEMENTS:
            self.problems.append("<%s> loads or runs something outside the page" % tag)
        if tag == "img":
            if not PICTURE.fullmatch(attrs.get("src") or ""):
                self.problems.append("<img> shows %r, not one of the pictures beside the page" % attrs.get("src"))
            if not (attrs.get("alt") or "").strip():
                self.problems.append("<img src=%r> has no alt text" % attrs.get("src"))
            self.pictures.append(attrs.get("src"))
        elif "src" in attrs:
            self.problems.append("<%s> has %s" % (tag, sorted(attrs)))
        if any(name.startswith("on") for name in attrs):
            self.problems.append("<%s> has %s" % (tag, sorted(attrs)))
        if "url(" in attrs.get("style", ""):
            self.problems.append("<%s> style refers to a url" % tag)
        if "id" in attrs:
            self.ids.append(attrs["id"])
        if "href" in attrs:
            if attrs["href"].startswith("#"):
                self.fragments.append(attrs["href"][1:])
            else:
                self.problems.append("link out of the page: %s" % attrs["href"])
        self.in_style = tag == "style"
        if tag == "br":
            self.add_text(" ")
        if tag in VOID_ELEMENTS:
            return
        self.depth += 1
        if QUOTE_CLASSES & set((attrs.get("class") or "").split()):
            self.open_quotes.append([self.depth, ""])

    def handle_endtag(self, tag):
        self.in_style = False
        if tag in VOID_ELEMENTS:
            return
        if self.open_quotes and self.open_quotes[-1][0] == self.depth:
            self.quotes.append(normalised(self.open_quotes.pop()[1]))
        self.depth -= 1

    def handle_data(self, data):
        if self.in_style and ("url(" in data or "@import" in data):
            self.problems.append("the style sheet refers to another file")
        self.add_text(data)

    def add_text(self, text):
        for quote in self.open_quotes:
            quote[1] += text


def program_texts(folders):
    """Every text of the forms and every string literal of the sources
    (adjacent literals joined), as patterns: mnemonic markers and rich-text
    tags dropped, %1 and the like standing for any text."""
    texts = []
    for form in sorted(f for folder in folders for f in folder.rglob("*.ui")):
        texts += [e.text for e in ET.parse(form).iter("string") if e.text]
    literal = r'"(?:[^"\\\n]|\\.)*"'
    for source in sorted(f for folder in folders for f in folder.rglob("*.cpp")):
        for run in re.findall(r"%s(?:\s*%s)*" % (literal, literal), source.read_text()):
            parts = re.findall(literal, run)
            joined = "".join(p[1:-1] for p in parts)
            texts.append(re.sub(r"\\(.)", lambda m: "\n" if m.group(1) == "n" else m.group(1), joined))
    patterns = []
    for text in texts:
        text = re.sub(r"<[^>]*>", " ", text)
        text = re.sub(r"&(?=\w)", "", text)
        pieces = re.split(r"%\d", normalised(text))
        patterns.append(re.compile(".+".join(re.escape(p) for p in pieces)))
    return patterns


def main():
    manual_path, pictures = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    folders = [pathlib.Path(a) for a in sys.argv[3:]]
    manual = Manual()
    manual.feed(manual_path.read_text(encoding="utf-8"))
    manual.close()
    problems = list(manual.problems)

    duplicates = sorted({i for i in manual.ids if manual.ids.count(i) > 1})
    if duplicates:
        problems.append("ids used more than once: %s" % duplicates)
    for fragment in sorted(set(manual.fragments) - set(manual.ids)):
        problems.append("link to #%s, which is nowhere in the page" % fragment)
    made = {"images/" + p.name for p in pictures.glob("*.png")}
    for picture in sorted(set(manual.pictures) - made):
        problems.append("%s is shown but not made into %s" % (picture, pictures))
    for picture in sorted(made - set(manual.pictures)):
        problems.append("%s is made but not shown" % picture)

    patterns = program_texts(folders)
    if not manual.quotes:
        problems.append("no texts of the program quoted")
    for quote in manual.quotes:
        if not any(p.fullmatch(quote) for p in patterns):
            problems.append("quoted as the program's text but the program has no such text: %r" % quote)

    for problem in problems:
        print("FAIL:", problem, file=sys.stderr)
    print("%d texts of the program quoted, %d links inside the page, %d pictures"
          % (len(manual.quotes), len(manual.fragments), len(manual.pictures)))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
