# SPDX-License-Identifier: MIT

"""Reads an HTML page with Python's own HTML parser and prints what a reader would see.

One record a line, tab-separated, texts with backslash, tab and line feed escaped:
  TAG   name  class           every start tag, in document order
  LINE  classes  text         every display line: the classes of its runs (comma-separated)
                              and its text, the time left out
  RUN   class  text           each run of the line printed just before
  TIME  datetime  text        the time of that line
  STYLE text                  the text of every style element
  HEAD  text                  the text of every header element
"""
import sys
from html.parser import HTMLParser


def esc(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out = []
        self.stack = []
        self.line = None  # [runs, time]
        self.run = None
        self.time = None
        self.style = None
        self.head = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        cls = attrs.get("class") or ""
        self.out.append("TAG\t%s\t%s" % (tag, esc(cls)))
        if tag in ("meta", "br", "hr", "img", "link", "input"):
            return
        self.stack.append((tag, cls))
        if tag == "div" and "line" in cls.split():
            self.line = [[], None]
        elif tag == "span" and self.line is not None:
            self.run = [cls, ""]
        elif tag == "time" and self.line is not None:
            self.time = [attrs.get("datetime") or "", ""]
        elif tag == "style":
            self.style = ""
        elif tag == "header":
            self.head = ""

    def handle_endtag(self, tag):
        while self.stack:
            open_tag, _ = self.stack.pop()
            self.end_element(open_tag)
            if open_tag == tag:
                break

    def end_element(self, tag):
        if tag == "span" and self.run is not None and self.line is not None:
            self.line[0].append(self.run)
            self.run = None
        elif tag == "time" and self.time is not None and self.line is not None:
            self.line[1] = self.time
            self.time = None
        elif tag == "div" and self.line is not None:
            runs, time = self.line
            self.out.append("LINE\t%s\t%s" % (",".join(r[0] for r in runs),
                                              esc("".join(r[1] for r in runs))))
            for cls, text in runs:
                self.out.append("RUN\t%s\t%s" % (cls, esc(text)))
            if time is not None:
                self.out.append("TIME\t%s\t%s" % (esc(time[0]), esc(time[1])))
            self.line = None
        elif tag == "style" and self.style is not None:
            self.out.append("STYLE\t" + esc(self.style))
            self.style = None
        elif tag == "header" and self.head is not None:
            self.out.append("HEAD\t" + esc(self.head))
            self.head = None

    def handle_data(self, data):
        if self.run is not None:
            self.run[1] += data
        elif self.time is not None:
            self.time[1] += data
        elif self.style is not None:
            self.style += data
        elif self.head is not None:
            self.head += data

    def finish(self):
        # A page read while it is still being written has no closing tags yet.
        while self.stack:
            self.end_element(self.stack.pop()[0])


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")  # fails loudly on anything that is not UTF-8
    page = Page()
    page.feed(text)
    page.close()
    page.finish()
    sys.stdout.write("".join(line + "\n" for line in page.out))


if __name__ == "__main__":
    main()
