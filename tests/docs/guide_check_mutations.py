#!/usr/bin/env python3
"""The guide check catches what it claims to: each mutation below, applied to a
copy of the guide and the code, must make it fail, and the copy unchanged must
pass it.

  guide_check_mutations.py REPO
"""
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

GUIDE = "docs/deploy.md"
RUN = "src/upgrade/update_run.cpp"

# name, file, text to find, its replacement, how many times the text occurs.
MUTATIONS = [
    ("the row of the unreadable state after the start dropped in both halves", GUIDE,
     ["| `错误: 无法查询服务状态: …` | 启动后读不到服务状态 |\n",
      "| `错误: 无法查询服务状态: …` | after the start the service's state cannot be read |\n"],
     ["", ""], 1),
    ("the same row dropped in the Chinese half only", GUIDE,
     "| `错误: 无法查询服务状态: …` | 启动后读不到服务状态 |\n", "", 1),
    ("the damaged-archive row given the wrong ending", GUIDE,
     "| `错误: 新的JAR文件不完整或已损坏 (…)，不进行JAR包替换升级` |",
     "| `错误: 新的JAR文件不完整或已损坏 (…)，不进行更新` |", 2),
    ("a wrong ending on the download-failure row", GUIDE,
     "`错误: 下载新的JAR文件失败 (…)，不进行更新`", "`错误: 下载新的JAR文件失败 (…)，跳过本次更新`", 2),
    ("an invented row", GUIDE,
     "| `操作完成。` |", "| `错误: 磁盘已满` | invented |\n| `操作完成。` |", 2),
    ("a new Say of a variable", RUN,
     '  Say(L"开始下载: " + stagedPath);', '  Say(stagedPath);\n  Say(L"开始下载: " + stagedPath);', 1),
    ("a new Say of a line nobody listed", RUN,
     '  Say(L"开始下载: " + stagedPath);', '  Say(L"新的一行");\n  Say(L"开始下载: " + stagedPath);', 1),
    ("the refusals' common ending changed", "src/upgrade/jar_upgrade.cpp",
     'Say(reason + L"，不进行JAR包替换升级");', 'Say(reason + L"，不进行升级");', 1),
    ("a meaning left out", GUIDE, "| `操作完成。` | 替换结束 |", "| `操作完成。` |  |", 1),
    ("the halves in different orders", GUIDE,
     "| `替换JAR文件: … -> …` | the checked copy is moved into place in one step |\n"
     "| `替换JAR文件失败` | the move failed: the service starts with the JAR that is there |",
     "| `替换JAR文件失败` | the move failed: the service starts with the JAR that is there |\n"
     "| `替换JAR文件: … -> …` | the checked copy is moved into place in one step |", 1),
    ("a window text's row dropped", GUIDE,
     "| `健康检查定时器无法启动，服务状态不再检查，请重新启动本程序`（窗口一直显示）", "| （窗口一直显示）", 1),
    ("a window text changed in the code", "src/app/wardkeep_dlg_try_start.cpp",
     'L"启动..耐心等待"', 'L"启动中"', 1),
    ("a box text changed in the code", "src/host/service_control.cpp",
     'L"QueryServiceStatusEx failed"', 'L"QueryServiceStatus failed"', 1),
    ("a window text shown through a variable, unnamed", "src/app/wardkeep_dlg_health.cpp",
     "  // guide-texts: none, the platform's ERP name\n", "", 1),
    ("an event's level wrong in the guide", GUIDE,
     "| 1301 | Information |", "| 1301 | Warning |", 1),
    ("an event's row dropped", GUIDE, "| 1201 | 警告 |", "| 1202 | 警告 |", 1),
    ("an event's ID changed in the code", "src/app/event_report.h",
     "HealthRecovered = 1301,", "HealthRecovered = 1302,", 1),
    ("an event's severity changed in the message table", "res/wardkeep_events.mc",
     "MessageId=1200\nSeverity=Informational", "MessageId=1200\nSeverity=Warning", 1),
]


def check(copy, checker):
    return subprocess.run([sys.executable, str(checker), str(copy)], capture_output=True,
                          text=True).returncode


def main():
    repo = Path(sys.argv[1]).resolve()
    checker = Path(__file__).resolve().parent / "guide_check.py"
    failures = 0
    with tempfile.TemporaryDirectory(prefix="wardkeep-guide-mutations.") as scratch:
        pristine = Path(scratch) / "pristine"
        for part in ("docs", "src", "res"):
            shutil.copytree(repo / part, pristine / part)
        if check(pristine, checker) != 0:
            print("FAILED: the unchanged copy does not pass the guide check")
            return 1
        for index, (name, relative, old, new, count) in enumerate(MUTATIONS):
            copy = Path(scratch) / f"m{index}"
            shutil.copytree(pristine, copy)
            target = copy / relative
            text = target.read_text(encoding="utf-8")
            olds, news = (old, new) if isinstance(old, list) else ([old], [new])
            missing = [o for o in olds if text.count(o) != count]
            if missing:
                print(f"FAILED: {name}: expected {count} of \"{missing[0]}\" in {relative}")
                failures += 1
                continue
            for o, n in zip(olds, news):
                text = text.replace(o, n)
            target.write_text(text, encoding="utf-8")
            if check(copy, checker) == 0:
                print(f"FAILED: {name}: the guide check passed it")
                failures += 1
            else:
                print(f"caught: {name}")
    if failures:
        print(f"{failures} mutation(s) not caught")
        return 1
    print(f"all {len(MUTATIONS)} mutations caught")
    return 0


if __name__ == "__main__":
    sys.exit(main())
