#!/usr/bin/env python3
"""One table of every benchmark figure beside its floor and the ratio
(figure / floor), from the JSON files that scripts/bench has the benches
write into one folder:

  link_bench.json, menu_bench.json    the native benches' --figures-json
  link_bench_gbench.json,             their Google Benchmark output
  menu_bench_gbench.json              (--benchmark_out, JSON)
  wine_link.json, wine_menu.json,
  wine_standby.json, wine_find.json   the Wine benches' --json

Prints the table as Markdown (padded, so it reads as plain text too) and
writes it to FOLDER/table.md. A figure whose file is missing shows as "not
measured", and the exit status is then 1.

Usage: report.py FOLDER"""

import json
import sys
from pathlib import Path
from typing import List, Optional

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools" / "rig"))
from set_up import PHONE  # noqa: E402

# Under Wine a bare transaction is timed as the set-up step from "+CNMI=3,1"
# to the next command: the set-up puts nothing else between those two sends.
WINE_TRANSACTION = PHONE["kIndications"]
PLAYLISTS = (10, 10000, 1000000)
MISSING = "not measured"


class Table:
    HEADER = ("Measure", "Figure", "Floor", "Ratio", "Note")

    def __init__(self) -> None:
        self.rows: List[tuple] = []
        self.missing = 0

    def add(self, measure: str, figure: str, floor: str, ratio: str, note: str = "") -> None:
        self.rows.append((measure, figure, floor, ratio, note))

    def skip(self, measure: str, why: str) -> None:
        self.missing += 1
        self.rows.append((measure, MISSING, "", "", why))

    def markdown(self) -> str:
        cells = [tuple(c.replace("|", "\\|") for c in row) for row in [self.HEADER] + self.rows]
        widths = [max(len(row[i]) for row in cells) for i in range(len(self.HEADER))]
        # Figures, floors and ratios line up on the right.
        right = (False, True, True, True, False)

        def line(row) -> str:
            return "| " + " | ".join(c.rjust(w) if r else c.ljust(w)
                                     for c, w, r in zip(row, widths, right)) + " |"

        rule = "|" + "|".join(("-" * (w + 1) + ":") if r else ("-" * (w + 2))
                              for w, r in zip(widths, right)) + "|"
        return "\n".join([line(cells[0]), rule] + [line(row) for row in cells[1:]])


def load(folder: Path, name: str) -> Optional[dict]:
    try:
        return json.loads((folder / name).read_text())
    except (OSError, ValueError):
        return None


def gbench(folder: Path, name: str) -> dict:
    """Google Benchmark's runs by name (iterations only, not aggregates)."""
    data = load(folder, name) or {}
    return {b["name"]: b for b in data.get("benchmarks", [])
            if b.get("run_type", "iteration") == "iteration" and "error_occurred" not in b}


def ms(value: float) -> str:
    return ("%.0f ms" if abs(value - round(value)) < 0.05 else "%.1f ms") % value


def ratio(figure: float, floor: float) -> str:
    if not floor:
        return "—"
    text = "%.2f" % (figure / floor)
    # Close to the floor, a third digit tells which side it is on.
    return "%.3f" % (figure / floor) if text == "1.00" and figure != floor else text


def count(value: float) -> str:
    return ("%.0f" if abs(value - round(value)) < 0.005 else "%.2f") % value


def microseconds(run: dict, key: str) -> float:
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[run.get("time_unit", "ns")]
    return run[key] * scale


def percent(cpu_s_per_s: float) -> str:
    return "%.2f %%" % (100 * cpu_s_per_s)


def thousands(n: int) -> str:
    return "{:,}".format(n)


def set_up_floor(s: dict) -> str:
    return ("%s (%d × %.0f ms pauses + %s wire)"
            % (ms(s["floor_ms"]), s["transactions"], s["pause_ms"] / s["transactions"],
               ms(s["wire_ms"])))


def link_rows(t: Table, folder: Path) -> None:
    native, wine = load(folder, "link_bench.json"), load(folder, "wine_link.json")
    if native:
        s = native["set_up"]
        t.add("1. Set-up (OnInit, DSR on), virtual", ms(s["virtual_ms"]), set_up_floor(s),
              ratio(s["virtual_ms"], s["floor_ms"]),
              "answers arrive during pauses, so < 1 is possible; pauses + bytes sent: %s "
              "(ratio %s)" % (ms(s["hard_floor_ms"]), ratio(s["virtual_ms"], s["hard_floor_ms"])))
        # The set-up with one setting more: its row beside the plain one.
        for key, setting, added in (("set_up_calls", "PauseOnCall=1", "*ECAM=1 and +CLCC"),
                                    ("set_up_charset", "Charset=auto",
                                     "+CSCS=?, +CSCS? and +CSCS=\"UTF-8\"")):
            v = native.get(key)
            if v:
                t.add("1. Set-up with %s, virtual" % setting, ms(v["virtual_ms"]),
                      set_up_floor(v), ratio(v["virtual_ms"], v["floor_ms"]),
                      "the same set-up, %s: %s more than without"
                      % (added, ms(v["virtual_ms"] - s["virtual_ms"])))
    else:
        t.skip("1. Set-up (OnInit, DSR on), virtual", "link_bench failed")
    if wine:
        s = wine["set_up"]
        t.add("1. Set-up, Wine", ms(s["median_ms"]),
              "%s (%d × 200 ms pauses + %s wire)"
              % (ms(s["floor_ms"]), s["transactions"], ms(s["wire_ms"])),
              ratio(s["median_ms"], s["floor_ms"]),
              "median of %d runs; first to last command at the phone: %d of %d transactions; "
              "no wire time on a pty: pauses alone %s (ratio %s)"
              % (wine["runs"], s["transactions"], s["of_transactions"], ms(s["pause_ms"]),
                 ratio(s["median_ms"], s["pause_ms"])))
    else:
        t.skip("1. Set-up, Wine", "wine_link_bench.py failed")
    if native:
        c = native["send_command"]
        t.add('2. One transaction, SendCommand("+CMEE=1"), virtual', ms(c["virtual_ms"]),
              "%s (%.0f ms pauses + %s wire)" % (ms(c["floor_ms"]), c["pause_ms"],
                                                 ms(c["wire_ms"])),
              ratio(c["virtual_ms"], c["floor_ms"]),
              "answer arrives during pauses; pauses + bytes sent: %s (ratio %s)"
              % (ms(c["hard_floor_ms"]), ratio(c["virtual_ms"], c["hard_floor_ms"])))
    else:
        t.skip('2. One transaction, SendCommand("+CMEE=1"), virtual', "link_bench failed")
    label = '2. One transaction, SendCommand("%s"), Wine' % WINE_TRANSACTION
    if wine and WINE_TRANSACTION in wine["commands"]:
        c = wine["commands"][WINE_TRANSACTION]
        others = []
        for name, other in wine["commands"].items():
            if name == WINE_TRANSACTION:
                continue
            timeouts = other["read_timeouts"]
            others.append("%s %s%s" % (name, ms(other["median_ms"]),
                                       " (%d read timed out)" % timeouts if timeouts else ""))
        t.add(label, ms(c["median_ms"]),
              "%s (%.0f ms pauses + %s wire)" % (ms(c["floor_ms"]), c["pause_ms"],
                                                 ms(c["wire_ms"])),
              ratio(c["median_ms"], c["floor_ms"]),
              "median of %d runs, to the next command; pauses alone: ratio %s; other set-up "
              "steps: %s" % (wine["runs"], ratio(c["median_ms"], c["pause_ms"]),
                             ", ".join(others)))
    else:
        t.skip(label, "wine_link_bench.py failed")


def latency_rows(t: Table, folder: Path) -> None:
    native, wine = load(folder, "menu_bench.json"), load(folder, "wine_menu.json")
    cases = (("3.", '"*EAAI"', "eaai_first_byte", "eaai_whole_page", "opening the menu"),
             ("4.", '"*EAMI: 10"', "eami_first_byte", "eami_whole_page",
              "choosing Video window on the open main menu"))
    for number, code, native_key, wine_key, what in cases:
        label = "%s %s → first byte of the *EASM page, virtual" % (number, code)
        if native and native_key in native:
            f = native[native_key]
            t.add(label, ms(f["first_byte_ms"]),
                  "%s (%.0f ms read interval + %s wire)"
                  % (ms(f["floor_ms"]), f["read_interval_ms"], ms(f["code_wire_ms"])),
                  ratio(f["first_byte_ms"], f["floor_ms"]),
                  "%s; the page is %d bytes" % (what, f["page_bytes"]))
        else:
            t.skip(label, "menu_bench failed")
        label = "%s %s → whole *EASM page at the phone, Wine" % (number, code)
        if wine and wine_key in wine:
            f = wine[wine_key]
            t.add(label, ms(f["median_ms"]), "%s (read interval)" % ms(f["floor_ms"]),
                  ratio(f["median_ms"], f["floor_ms"]),
                  "whole page, not its first byte; median of %d (%s–%s); no wire time on a pty"
                  % (len(f["samples_ms"]), ms(f["min_ms"]), ms(f["max_ms"])))
        else:
            t.skip(label, "wine_menu_bench.py failed")


def newer_rows(t: Table, folder: Path) -> None:
    native, wine = load(folder, "menu_bench.json"), load(folder, "wine_menu.json")
    cases = (("3n.", '"*SEAAI"', "seaai_whole_list", "opening on the newer phone",
              "*SEUIS=1 first"),
             ("4n.", '"*SEGUII: n,5,10"', "seguii_whole_list",
              "choosing Video window on the newer phone", "no transaction first"))
    for number, code, key, what, before in cases:
        label = "%s %s → whole *SELIST at the phone, virtual" % (number, code)
        if native and key in native:
            f = native[key]
            t.add(label, ms(f["whole_list_ms"]),
                  "%s (%.0f ms read interval + %s transaction + %s wire)"
                  % (ms(f["floor_ms"]), f["read_interval_ms"], ms(f["transaction_ms"]),
                     ms(f["code_wire_ms"])),
                  ratio(f["whole_list_ms"], f["floor_ms"]),
                  "%s; %s; the fake port writes the list (%s at 9600 baud) without wire time"
                  % (what, before, ms(f["list_wire_ms"])))
        else:
            t.skip(label, "menu_bench failed")
        label = "%s %s → whole *SELIST at the phone, Wine" % (number, code)
        if wine and key in wine:
            f = wine[key]
            t.add(label, ms(f["median_ms"]),
                  "%s (read interval%s)" % (ms(f["floor_ms"]),
                                            " + 200 ms pauses" if before != "no transaction first"
                                            else ""),
                  ratio(f["median_ms"], f["floor_ms"]),
                  "%s; median of %d (%s–%s); no wire time on a pty"
                  % (before, len(f["samples_ms"]), ms(f["min_ms"]), ms(f["max_ms"])))
        else:
            t.skip(label, "wine_menu_bench.py failed")


def key_rows(t: Table, folder: Path) -> None:
    native, wine = load(folder, "menu_bench.json"), load(folder, "wine_menu.json")
    label = '4b. "+CKEV: 6,1" → WM_COMMAND 40048 at the player, virtual'
    if native and "key_press" in native:
        f = native["key_press"]
        t.add(label, ms(f["median_ms"]),
              "%s (%.0f ms read interval + %s wire)"
              % (ms(f["floor_ms"]), f["read_interval_ms"], ms(f["code_wire_ms"])),
              ratio(f["median_ms"], f["floor_ms"]),
              "RemoteKeys=1, the key screen up; median of %d presses (%s–%s: a read that "
              "began before the press may end sooner)"
              % (f["presses"], ms(f["min_ms"]), ms(f["max_ms"])))
    else:
        t.skip(label, "menu_bench failed")
    label = '4b. "+CKEV: 6,1" → WM_COMMAND 40048 at the player, Wine'
    if wine and "key_press" in wine:
        f = wine["key_press"]
        t.add(label, ms(f["median_ms"]), "%s (read interval)" % ms(f["floor_ms"]),
              ratio(f["median_ms"], f["floor_ms"]),
              "from the control line written to the phone to the host's line, on this "
              "machine's clock; median of %d (%s–%s); no wire time on a pty"
              % (len(f["samples_ms"]), ms(f["min_ms"]), ms(f["max_ms"])))
    else:
        t.skip(label, "wine_menu_bench.py failed")


def follow_rows(t: Table, folder: Path) -> None:
    native = load(folder, "menu_bench.json")
    run = gbench(folder, "menu_bench_gbench.json").get("BM_MainMenuOpening")
    label = "4c. Player's track change → whole main menu again at the phone, virtual"
    if native and "follow_whole_page" in native:
        f = native["follow_whole_page"]
        opening = microseconds(run, "real_time") / 1000 if run else 0
        floor = f["page_wire_ms"] + opening
        t.add(label, ms(f["whole_page_ms"]),
              "%s (%s page wire + %.3f ms one opening)" % (ms(floor), ms(f["page_wire_ms"]),
                                                           opening),
              ratio(f["whole_page_ms"], floor),
              "FollowTrack=1: from the player's notice to its window; the wake event, not "
              "the read interval, brings the monitor (%s to the page written)"
              % ms(f["page_written_ms"]))
    else:
        t.skip(label, "menu_bench failed")
    wine = load(folder, "wine_menu.json")
    label = "4c. Player's own Next → whole main menu again at the phone, Wine"
    if wine and "follow_whole_page" in wine:
        f = wine["follow_whole_page"]
        t.add(label, ms(f["median_ms"]), "%s (one opening's own cost)" % ms(f["floor_ms"]),
              ratio(f["median_ms"], f["floor_ms"]),
              "FollowTrack=1; from the command written to the stand-in player (its own "
              "WM_COMMAND, then its notices) to the page at the phone; median of %d (%s–%s); "
              "the floor is the *EAAI figure without its read interval; no wire time on a pty"
              % (len(f["samples_ms"]), ms(f["min_ms"]), ms(f["max_ms"])))
    else:
        t.skip(label, "wine_menu_bench.py failed")


def playlist_rows(t: Table, folder: Path) -> None:
    native = load(folder, "menu_bench.json") or {}
    runs = gbench(folder, "menu_bench_gbench.json")
    for n in PLAYLISTS:
        label = "5. Playlist of %s:" % thousands(n)
        worst = native.get("playlist_%d" % n)
        run = runs.get("BM_PlaylistPage/%d" % n)
        if worst:
            t.add(label + " host requests, worst page", count(worst["most_requests_browsing"]),
                  "11 (limit)", ratio(worst["most_requests_browsing"], 11),
                  "walks to every %sth entry; the jump page: %s (adds play state and position, "
                  "and the length again on one level)" % (thousands(int(worst["walk_stride"])),
                                                          count(worst["most_requests_jump"])))
        else:
            t.skip(label + " host requests, worst page", "menu_bench failed")
        if run:
            t.add(label + " CPU time per page", "%.2f µs" % microseconds(run, "cpu_time"), "—",
                  "—", "no floor; walking down to an entry and on ten blocks, %s requests a page "
                  "on average" % count(run["host_requests"]))
            t.add(label + " heap allocations per page", count(run["allocations"]), "0",
                  "—" if run["allocations"] else "at floor", "")
        else:
            t.skip(label + " CPU time per page", "menu_bench failed")
            t.skip(label + " heap allocations per page", "menu_bench failed")


def search_form_rows(t: Table, folder: Path) -> None:
    run = gbench(folder, "menu_bench_gbench.json").get("BM_TitleSearchForm")
    label = "9. A title's search form:"
    if not run:
        t.skip(label + " heap allocations per title", "menu_bench failed")
        return
    t.add(label + " heap allocations per title", count(run["allocations"]), "0",
          "—" if run["allocations"] else "at floor",
          "once its buffer has grown; titles in Latin, Vietnamese, Cyrillic, Greek, "
          "full-width, Japanese and Korean letters, %.0f ns a title"
          % (microseconds(run, "cpu_time") * 1000))


def opening_rows(t: Table, folder: Path) -> None:
    run = gbench(folder, "menu_bench_gbench.json").get("BM_MainMenuOpening")
    wine = load(folder, "wine_menu.json")
    if run:
        note = "fake player with 1,000 entries"
        if wine:
            names = wine["opening_messages"]["by_name"]
            note += ("; under Wine the plug-in sends %s messages an opening (%s)"
                     % (count(wine["opening_messages"]["median"]),
                        ", ".join("%s %s" % (k, count(v)) for k, v in names.items())))
        t.add("6. Main-menu opening: host requests", count(run["host_requests"]),
              "5 (expected)", ratio(run["host_requests"], 5), note)
        t.add("6. Main-menu opening: CPU time", "%.2f µs" % microseconds(run, "cpu_time"),
              "—", "—", "no floor; builds the %s-byte page" % count(run["page_bytes"]))
        modes = gbench(folder, "menu_bench_gbench.json").get("BM_MainMenuOpeningPlayModes")
        if modes:
            t.add("6. Main-menu opening with PlayModes=1: host requests",
                  count(modes["host_requests"]), "8 (expected)", ratio(modes["host_requests"], 8),
                  "the five, then shuffle, repeat and the current entry's rating")
    else:
        t.skip("6. Main-menu opening: host requests", "menu_bench failed")
        t.skip("6. Main-menu opening: CPU time", "menu_bench failed")


def idle_rows(t: Table, folder: Path) -> None:
    wine = load(folder, "wine_standby.json")
    states = (("disabled", "Port disabled (the host's own baseline)"),
              ("standby_quiet", "Standing by, quiet line"),
              ("standby_junk", "Standing by, unread bytes queued"),
              ("connected_idle", "Connected, idle"))
    if not wine:
        for _, name in states:
            t.skip("7. Idle CPU under Wine: " + name, "wine_standby_bench.py failed")
        return
    baseline = wine["states"].get("disabled", {}).get("cpu_s_per_s")
    for key, name in states:
        label = "7. Idle CPU under Wine: " + name
        state = wine["states"].get(key)
        if not state:
            t.skip(label, "not reached")
            continue
        total = state["cpu_s_per_s"]
        parts = ", ".join("%s %s" % (p, percent(r)) for p, r in sorted(state["processes"].items()))
        note = "over %.0f s, host + wineserver (%s)" % (wine["seconds"], parts)
        if key != "disabled" and baseline is not None:
            note += "; %+.2f points over the baseline" % (100 * (total - baseline))
        # The same Wine holding the same pty with one pending comm-event
        # wait: what no program watching the port can go below here.
        dsr = "dsr_on" if key == "connected_idle" else "dsr_off"
        floor = wine.get("floors", {}).get(dsr, {}).get("cpu_s_per_s")
        if key == "disabled" or floor is None:
            t.add(label, percent(total), "0 %", "—", note)
        else:
            t.add(label, percent(total),
                  "%s (a port waited on, DSR %s)" % (percent(floor), dsr[4:]),
                  ratio(total, floor),
                  note + "; floor: serialprobe.exe + wineserver holding the same pty, set "
                  "up alike, with one WaitCommEvent pending")


def caption(folder: Path) -> str:
    data = load(folder, "menu_bench_gbench.json") or load(folder, "link_bench_gbench.json")
    data = data or {}
    context = data.get("context", {})
    parts = []
    if context:
        parts.append("measured %s on %s CPU(s) at %s MHz, load average %s"
                     % (context.get("date", "?"), context.get("num_cpus", "?"),
                        context.get("mhz_per_cpu", "?"),
                        " ".join("%.2f" % a for a in context.get("load_avg", []))))
    wine = load(folder, "wine_standby.json")
    if wine:
        parts.append("idle CPU windows of %.0f s, counted in %.0f ms ticks (±%.3f %% of a core)"
                     % (wine["seconds"], 1000 * wine["clock_tick_s"],
                        100 * wine["clock_tick_s"] / wine["seconds"]))
    return ("Benchmarks: " + "; ".join(parts) + ".") if parts else "Benchmarks."


def find_rows(t: Table, folder: Path) -> None:
    wine = load(folder, "wine_find.json")
    if not wine:
        t.skip("8. Find track: the Text answer to the page of the match, Wine",
               "wine_find_bench.py failed")
        return
    for r in wine["rows"]:
        runs = r.get("runs_ms", [r["ms"]])
        loads = r.get("load_averages", [])
        t.add("8. Find track in %s entries, the match %s: the answer to its page, Wine"
              % (thousands(r["entries"]), r["place"]), ms(r["ms"]),
              "%s (%s title requests answered + 50 ms read interval)"
              % (ms(r["floor_ms"]), thousands(r["requests"])), ratio(r["ms"], r["floor_ms"]),
              "%s; %s; the player's window procedure answered "
              "a title request in %.2f µs (the floor's cost, from the search's own requests); "
              "a whole request timed apart costs %.2f µs on the player's thread, %.2f µs sent "
              "from another; the player's window waited at most %.1f ms; load average %s"
              % ("median of %d (%s–%s)" % (len(runs), ms(min(runs)), ms(max(runs)))
                 if len(runs) > 1 else "one run",
                 "%d page(s) with \"More...\" before it, each shown after the 5 s patience "
                 "and chosen at once" % r["pages_before"] if r.get("pages_before")
                 else "no page before it", r["answer_ns"] / 1000,
                 r["same_thread_ns"] / 1000,
                 r["other_thread_ns"] / 1000, r["longest_wait_ms"],
                 " / ".join("%.2f" % a for a in loads) or "not recorded"))


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = Path(sys.argv[1])
    table = Table()
    link_rows(table, folder)
    latency_rows(table, folder)
    newer_rows(table, folder)
    key_rows(table, folder)
    follow_rows(table, folder)
    playlist_rows(table, folder)
    opening_rows(table, folder)
    idle_rows(table, folder)
    find_rows(table, folder)
    search_form_rows(table, folder)
    text = "\n".join([
        caption(folder), "",
        table.markdown(), "",
        "Ratio = figure / floor; — where the floor is 0 or there is none. Virtual figures "
        "come from the fake platform's clock, so they are the same on every machine; Wine "
        "figures are real time on the phone's clock, and CPU % is of one core."])
    print(text)
    (folder / "table.md").write_text(text + "\n")
    return 1 if table.missing else 0


if __name__ == "__main__":
    sys.exit(main())
