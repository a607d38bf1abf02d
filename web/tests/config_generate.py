"""Configuration files of any size, for the large-installation tests and the pages' benchmark:
`units` central units, each with a crew station on line 1 and `radios_per_unit` radios, and one
operator per unit."""


def generate(units, radios_per_unit, name="generated.conf"):
    lines = ["# config file Mon Jan  6 09:00:00 2014", "", "|network|", "|nodes|"]
    for u in range(units):
        lines += [f"\t|Unit {u:04d}|", "\t\t|interfaces|", "\t\t\t|line 1|", f"\t\t\t\t|Station {u:04d}|"]
        for r in range(radios_per_unit):
            lines += [f"\t\t\t|transceiver {r + 1}|", f"\t\t\t\t|Radio {u * radios_per_unit + r:05d}|"]
        lines += ["\t\t|services|", "\t\t|type| = |BRELT-10TA|"]
    lines += ["|system|", "\t|devices|"]
    devices = []
    for u in range(units):
        devices.append((f"Station {u:04d}", ["|type| = |MVQ-2CS|", f"|master login| = |Operator {u:04d}|"]))
        for r in range(radios_per_unit):
            devices.append((f"Radio {u * radios_per_unit + r:05d}", ["|model| = |VHF|", "|type| = |transceiver|"]))
    for device, keys in sorted(devices):
        lines += [f"\t\t|{device}|"] + [f"\t\t\t{k}" for k in keys]
    lines += [f"\t|filename| = |{name}|", "\t|name| = |Generated|", "\t|transceivers|", "\t\t|VHF|",
              "\t\t\t|connection type| = |analog|", "|users|"]
    lines += [f"\t|Operator {u:04d}|" for u in range(units)]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    import sys
    sys.stdout.write(generate(int(sys.argv[1]), int(sys.argv[2])))
