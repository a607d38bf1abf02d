"""Configuration files of any size, for the large-installation tests and the pages' benchmark:
`units` central units, each with a crew station on line 1 and `radios_per_unit` radios, and one
operator per unit. A unit has four radio ports and four RTP radio ports, so it holds at most eight
radios: analog ones on "transceiver 1" to "transceiver 4", then IP ones on "rtp transceiver 1" to 4."""

RADIO_PORTS = [(f"transceiver {n}", "VHF") for n in range(1, 5)] + [(f"rtp transceiver {n}", "IP radio") for n in range(1, 5)]


def generate(units, radios_per_unit, name="generated.conf"):
    if not 0 <= radios_per_unit <= len(RADIO_PORTS):
        raise ValueError(f"a central unit holds at most {len(RADIO_PORTS)} radios, not {radios_per_unit}")
    ports = RADIO_PORTS[:radios_per_unit]
    lines = ["# config file Mon Jan  6 09:00:00 2014", "", "|network|", "|nodes|"]
    for u in range(units):
        lines += [f"\t|Unit {u:04d}|", "\t\t|interfaces|", "\t\t\t|line 1|", f"\t\t\t\t|Station {u:04d}|"]
        for r, (port, _) in enumerate(ports):
            lines += [f"\t\t\t|{port}|", f"\t\t\t\t|Radio {u * radios_per_unit + r:05d}|"]
        lines += ["\t\t|services|", "\t\t|type| = |BRELT-10TA|"]
    lines += ["|system|", "\t|devices|"]
    devices = []
    for u in range(units):
        devices.append((f"Station {u:04d}", ["|type| = |MVQ-2CS|", f"|master login| = |Operator {u:04d}|"]))
        for r, (_, model) in enumerate(ports):
            devices.append((f"Radio {u * radios_per_unit + r:05d}", [f"|model| = |{model}|", "|type| = |transceiver|"]))
    for device, keys in sorted(devices):
        lines += [f"\t\t|{device}|"] + [f"\t\t\t{k}" for k in keys]
    lines += [f"\t|filename| = |{name}|", "\t|name| = |Generated|", "\t|transceivers|",
              "\t\t|IP radio|", "\t\t\t|connection type| = |ip|",
              "\t\t|VHF|", "\t\t\t|connection type| = |analog|", "|users|"]
    lines += [f"\t|Operator {u:04d}|" for u in range(units)]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    import sys
    sys.stdout.write(generate(int(sys.argv[1]), int(sys.argv[2])))
