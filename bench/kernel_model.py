#!/usr/bin/env python3
"""kernel_model: the lanes' hot loop through a model of the processor.

Timing on a shared machine varies by a fifth from one minute to the next; a
model of the processor does not. This takes the two-group AVX2 kernel (equal
masses in the pair, as in preset 2) out of a built program, follows one round
of its loop (two steps of each group) along the path of steps that go on, and
has llvm-mca run it on a Zen 3 core: once as the core has it to itself, once
with the load and store queues halved, as when a second thread shares the
core, and once with the register files cut as well. It prints cycles per
lane-step and the share of the divider's floor, the cycles the round's
divisions and square roots alone take on the divider.

    /usr/bin/python3 bench/kernel_model.py [PROGRAM] [CPU]

PROGRAM defaults to build/bin/encounter-batch, CPU to znver3.
"""

import re
import subprocess
import sys

KERNEL = "LaneKernel<lab::(anonymous namespace)::Avx2Ops, 2, true>::Advance"
LANE_STEPS = 2 * 2 * 4  # a round: two steps of two groups of four lanes
CASES = [
    ("the core to itself", []),
    ("load and store queues halved", ["-lqueue=36", "-squeue=32"]),
    ("and registers cut to 64", ["-lqueue=36", "-squeue=32", "-register-file-size=64"]),
]


def kernel_lines(program):
    """The kernel's instructions as (address, mnemonic, operands)."""
    text = subprocess.run(["objdump", "-d", "--no-show-raw-insn", "-C", program],
                          capture_output=True, text=True, check=True).stdout
    lines, inside = [], False
    for line in text.splitlines():
        if line.endswith(">:"):
            inside = KERNEL in line
            continue
        match = re.match(r"\s*([0-9a-f]+):\s+(\S+)\s*(.*)", line) if inside else None
        if match:
            lines.append((int(match.group(1), 16), match.group(2), match.group(3)))
    return lines


def hot_round(lines):
    """One round of the loop, branches resolved as when every lane goes on.

    The loop's head is the target of the last backward branch that lands just
    before a division. The compiler lays the code of a stop (storing the
    lanes) on the fall-through of a `je` and the hold check out of line, so
    the round takes every `je` and no other conditional branch."""
    at = {address: i for i, (address, _, _) in enumerate(lines)}

    def target(operands):
        return at.get(int(operands.split()[0], 16))

    head = None
    for i, (_, op, operands) in enumerate(lines):
        if op.startswith("j"):
            t = target(operands)
            if t is not None and t < i and any(o == "vdivpd" for _, o, _ in lines[t:t + 8]):
                head = t
    if head is None:
        sys.exit("kernel_model: the kernel's loop was not found")
    out, i = [], head
    for _ in range(5000):
        _, op, operands = lines[i]
        if op.startswith("j"):
            t = target(operands)
            if t == head:
                return out
            i = t if op in ("jmp", "je") else i + 1
            continue
        out.append(f"{op} {operands.split('#')[0].split('<')[0].strip()}")
        i += 1
    sys.exit("kernel_model: no way back to the loop's head")


def mca(round_text, cpu, options):
    """Cycles per round in steady state, and the divider's floor."""
    text = subprocess.run(["llvm-mca", f"-mcpu={cpu}", "-iterations=200", *options],
                          input=round_text, capture_output=True, text=True, check=True).stdout
    cycles = float(re.search(r"Total Cycles:\s+(\d+)", text).group(1)) / 200
    floor = float(re.search(r"Block RThroughput:\s+([\d.]+)", text).group(1))
    return cycles, floor


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/bin/encounter-batch"
    cpu = sys.argv[2] if len(sys.argv) > 2 else "znver3"
    ops = hot_round(kernel_lines(program))
    divisions = sum(o.startswith("vdivpd") for o in ops)
    roots = sum(o.startswith("vsqrtpd") for o in ops)
    if divisions != 4 * 15 or roots != 4 * 3:
        sys.exit(f"kernel_model: the round has {divisions} divisions and {roots} roots, not 60 and 12")
    print(f"{program}, {cpu}: a round of {len(ops)} instructions, {divisions} divisions, {roots} square roots")
    round_text = "\n".join(ops) + "\n"
    for name, options in CASES:
        cycles, floor = mca(round_text, cpu, options)
        print(f"  {name:<30} {cycles / LANE_STEPS:6.2f} cycles per lane-step, "
              f"of the divider's floor {floor / cycles:.3f}")


if __name__ == "__main__":
    main()
