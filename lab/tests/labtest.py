# SPDX-License-Identifier: Apache-2.0
"""Shared helpers of the lab tests: preflight (skip with status 77 where the
lab cannot run), running lab/run-scenario and reading its blocks, and checks
that collect failures instead of stopping at the first one."""
import os
import re
import shutil
import subprocess
import sys
import time

LAB_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUN_SCENARIO = os.path.join(LAB_DIR, "run-scenario")
SKIP = 77

# Texts of the report (exact).
A1 = ("Обнаружена поддержка трансляции протокола SIP на NATе. В данном случае SIP-оборудование или ПО "
      "необходимо настроить обычным образом, как если бы оно было установлено на реальном (публичном) адресе.")
A2 = ("Если при данном варианте подключения будут возникать проблемы (иногда бывает при некорректной "
      "реализации обработки SIP на NATе), то рекомендуется отключить на NATе поддержку SIP (SIP ALG) "
      "и запустить тест повторно.")
P0 = ("Компьютер имеет реальный IP адрес. При  установке на этом компьютере программного телефона его нужно "
      "сконфигурировать без использования STUN сервера в соответствии со стандартными настройками.")
P1 = ("Компьютер имеет реальный IP адрес, однако подключен через NAT. При  установке на этом компьютере "
      "программного телефона его нужно сконфигурировать с использованием форварда портов. В некоторых "
      "вариантах возможно использование STUN сервера.")
S0 = "Для подключения через симметричный UDP фаервол или NAT возможны следующие варианты: "
S1 = ("  1. Проброс UDP портов на NATе на данный компьютер или подключаемое устройство (информацию об "
      "используемых портах смотрите в документации на оборудование или ПО, обычно используются 5060 для "
      "сигнализации и 16384-16394 для голосовых пакетов).  В настройках оборудования или ПО обязательно "
      "должен быть указан внешний IP-адрес NATа.")
S2 = ("  2. Использование специального OutBoundProxy или универсального SIP-прокси типа CommuniGate Pro. "
      "В этом варианте в конфигурации необходимо указать в качестве внешнего адреса, какой либо адрес из "
      "диапазона выделенного RFC 1918 (например, 192.168.1.1).")
S3 = "  3. Использование TURN или ICE технологии, если устройство или ПО поддерживает данный метод подключения."
S4 = ("  В варианте 2 и 3 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
      "негативно повлиять на качество связи.")
SU = ("4. Обнаружена поддержка UPnP, если подключаемое устройство или ПО ее поддерживает, то рекомендуется "
      "включить использование UPnP.")
C0 = "При использовании конусного NAT-а возможны следующие варианты подключения: "
C1 = "  1. Использование STUN технологии."
C2 = "  2." + S1[len("  1."):]
C3 = "  3." + S2[len("  2."):]
C4 = "  4." + S3[len("  3."):]
C5 = ("  В варианте 3 и 4 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
      "негативно повлиять на качество связи.")
CU = "5." + SU[len("4."):]
R0 = "При использовании NATа с ограниченным конусом возможны следующие варианты подключения: "
R1 = ("  1. Использование STUN технологии. Если при работе будут возникать проблемы с односторонней "
      "слышимостью, то необходимо использовать другие варианты подключения.")
W1 = ("Внимание компьютер подключен к интернету через NAT и имеет локальный адрес несовместимый с RFC1918. "
      "Это может привести к проблемам при использовании некоторых типов подключения.")
PP = ("Обнаружен NAT с совпадающим распределением портов. При использовании нескольких SIP-устройств, "
      "расположенных за таким NATом, рекомендуется настраивать их на использование разных локальных портов "
      "для сигнализации.")
N6 = "Не удалось провести тестирование NATа."
PARAGRAPHS = {"A1": A1, "A2": A2, "P0": P0, "P1": P1, "S0": S0, "S1": S1, "S2": S2, "S3": S3, "S4": S4,
              "SU": SU, "C0": C0, "C1": C1, "C2": C2, "C3": C3, "C4": C4, "C5": C5, "CU": CU, "R0": R0,
              "R1": R1, "W1": W1, "PP": PP, "N6": N6}
CRLF = "\r\n"
DASHES = "-" * 127

NAT_CAPTIONS = {
    "open": "Открытый Интернет\r\nOpen Internet",
    "udp-firewall": "Симметричный UDP фаервол\r\nSymmetric UDP Firewall",
    "symmetric": "Симметричный\r\nSymmetric NAT",
    "full-cone": "Полный конус\r\nFull Cone",
    "restricted-cone": "Ограниченный конус\r\nRestricted Cone",
    "port-restricted-cone": "Ограниченный конус по порту\r\nPort Restricted Cone",
}
PRESERVES = "Совпадающий порт (Preserves port)"
RANDOM = " Случайный порт (Random port)"


def preflight():
    """Exit with 77 (skipped) where namespaces or the lab's servers are unavailable;
    with TARVOLIN_REQUIRE_LAB=1 (CI) the same finding is a failure instead."""
    def skip(why):
        if os.environ.get("TARVOLIN_REQUIRE_LAB") == "1":
            print("FAIL: the lab is required (TARVOLIN_REQUIRE_LAB=1) but cannot run: " + why)
            sys.exit(1)
        print("SKIPPED: " + why)
        sys.exit(SKIP)
    if os.geteuid() != 0:
        skip("the network lab needs root (network namespaces)")
    for tool in ("ip", "nft", "iptables", "conntrack", "turnserver", "kamailio", "dnsmasq"):
        if shutil.which(tool) is None:
            skip("%s is not installed (run lab/install-deps)" % tool)
    probe = "tvl-probe%d" % os.getpid()
    r = subprocess.run(["ip", "netns", "add", probe], capture_output=True, text=True)
    if r.returncode != 0:
        skip("network namespaces cannot be created here: " + r.stderr.strip())
    subprocess.run(["ip", "netns", "del", probe], capture_output=True)
    # Labs left behind by a scenario runner that was killed (id "s<its pid>").
    state_root = "/run/tvl-lab"
    if os.path.isdir(state_root):
        for lab_id in os.listdir(state_root):
            m = re.fullmatch(r"s(\d+)", lab_id)
            if m and not os.path.exists("/proc/" + m.group(1)):
                subprocess.run([os.path.join(LAB_DIR, "tvl-lab"), "down", lab_id], capture_output=True)
    build = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(LAB_DIR, "..", "build"))
    if not os.access(os.path.join(build, "tarvolin-report"), os.X_OK):
        print("FAIL: %s/tarvolin-report is not built" % build)
        sys.exit(1)


class Run:
    """The blocks of one test run of the main window."""

    def __init__(self, blocks, messages):
        self.blocks = blocks
        self.messages = messages

    def __getitem__(self, name):
        return self.blocks.get(name, "")

    def report_paragraphs(self):
        return self["Label2"]


def parse(output):
    """Splits run-scenario output into runs (one per ==END==)."""
    runs, blocks, messages = [], {}, []
    name, lines = None, []

    def close():
        if name is None:
            return
        text = "\n".join(lines)
        if name == "Label2":
            # A plain-text widget keeps line ends as LF; the checks use CR LF.
            text = text.replace("\r\n", "\n").replace("\n", "\r\n")
        if name == "MESSAGE":
            messages.append(text)
        else:
            blocks[name] = text

    for line in output.split("\n"):
        m = re.fullmatch(r"==([A-Za-z0-9_]+)==", line)
        if m:
            close()
            name, lines = m.group(1), []
            if name == "END":
                runs.append(Run(blocks, messages))
                blocks, messages, name = {}, [], None
            continue
        if name is not None:
            lines.append(line)
    close()
    if blocks or messages:
        runs.append(Run(blocks, messages))  # an unfinished run
    return runs


class Checks:
    def __init__(self):
        self.failures = []
        self.current = ""
        self.output = ""

    def scenario(self, title, *args, timeout=150, lang="C.UTF-8"):
        """Runs lab/run-scenario with args under the locale lang (the texts
        checked are the Russian ones, which C.UTF-8 gives); returns the list of runs."""
        self.current = title
        started = time.time()
        env = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}
        env["LANG"] = lang
        r = subprocess.run(["bash", RUN_SCENARIO] + list(args), capture_output=True,
                           timeout=timeout, env=env)
        self.output = r.stdout.decode("utf-8", "replace")
        err = r.stderr.decode("utf-8", "replace")
        print("=== %s (%s) %.1f s, status %d" % (title, " ".join(args), time.time() - started, r.returncode))
        print(self.output)
        if err.strip():
            print("--- stderr\n" + err)
        self.check(r.returncode == 0, "run-scenario ended with status %d" % r.returncode)
        return parse(self.output)

    def check(self, condition, what):
        if not condition:
            self.failures.append("[%s] %s" % (self.current, what))
            print("CHECK FAILED: " + what)
        return condition

    def equal(self, actual, expected, what):
        return self.check(actual == expected, "%s: expected %r, got %r" % (what, expected, actual))

    def contains(self, text, part, what):
        return self.check(part in text, "%s: %r not found" % (what, part))

    def lacks(self, text, part, what):
        return self.check(part not in text, "%s: %r present" % (what, part))

    def paragraphs(self, report, ids, what="report"):
        """The paragraphs ids appear in the report in this order, each as its own line."""
        pos = 0
        lines = report.split(CRLF)
        for pid in ids:
            text = PARAGRAPHS[pid]
            try:
                idx = lines.index(text, pos)
            except ValueError:
                self.check(False, "%s: paragraph %s missing (or out of order)" % (what, pid))
                continue
            pos = idx + 1

    def no_paragraphs(self, report, ids, what="report"):
        lines = report.split(CRLF)
        for pid in ids:
            self.check(PARAGRAPHS[pid] not in lines, "%s: paragraph %s should be absent" % (what, pid))

    def finish(self):
        if self.failures:
            print("\n%d check(s) failed:" % len(self.failures))
            for f in self.failures:
                print("  " + f)
            sys.exit(1)
        print("all checks passed")
        sys.exit(0)


def summary_nat_line(report):
    return report.split(CRLF, 1)[0]
