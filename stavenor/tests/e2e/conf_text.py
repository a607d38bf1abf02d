"""The ".conf" text of saved configurations, as the e2e tests look into it."""


def branch(text, *path):
    """The lines below the node at `path` (keys from the top level), indented from 0; None when the
    path is not there."""
    lines = [line for line in text.split(b"\n") if line.startswith((b"|", b"\t"))]
    at, depth = 0, 0
    for key in path:
        while at < len(lines):
            level = len(lines[at]) - len(lines[at].lstrip(b"\t"))
            if level < depth:
                return None
            if level == depth and lines[at].lstrip(b"\t").split(b"|")[1] == key.encode():
                break
            at += 1
        else:
            return None
        at, depth = at + 1, depth + 1
    out = []
    for line in lines[at:]:
        if len(line) - len(line.lstrip(b"\t")) < depth:
            break
        out.append(line[depth:])
    return b"\n".join(out)


def without_date(text):
    """The text without its header line and its "date" key, which differ from one save to the next."""
    return b"\n".join(line for line in text.split(b"\n")[1:] if not line.startswith(b"\t|date| = |"))
