"""The probe's log of one launch: when its frames reached the window system
and when each step of its start-up was done."""


class ProbeLog:
    """What bench/present_probe.cpp writes, read as it grows."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = ""
        self.presents = []  # monotonic ns
        self.submits = []
        self.shown = None
        self.loaded = None
        self.audio = None
        self.window = None
        self.renderer = None
        self.renderer_at = None
        self.presents_before_shown = 0

    def refresh(self):
        try:
            with open(self.path) as f:
                f.seek(self.offset)
                data = f.read()
                self.offset = f.tell()
        except FileNotFoundError:
            return
        data = self.partial + data
        lines = data.split("\n")
        self.partial = lines.pop()
        for line in lines:
            parts = line.split()
            if not parts:
                continue
            kind, when = parts[0], int(parts[1])
            if kind == "present":
                self.presents.append(when)
                if self.shown is None:
                    self.presents_before_shown += 1
            elif kind == "submit":
                self.submits.append(when)
            elif kind == "shown" and self.shown is None:
                self.shown = when
            elif kind == "loaded":
                self.loaded = when
            elif kind == "audio" and self.audio is None:
                self.audio = when
            elif kind == "window" and self.window is None:
                self.window = when
            elif kind == "renderer":
                self.renderer = " ".join(parts[2:])
                self.renderer_at = when

    def first_frame(self, shows_window):
        """The first present the window shows: after SDL_ShowWindow for a
        program that makes its window hidden and shows it later."""
        if shows_window:
            if self.shown is None or len(self.presents) <= self.presents_before_shown:
                return None
            return self.presents[self.presents_before_shown]
        return self.presents[0] if self.presents else None

