// The recovery page: choose the unit's serial port, check the addresses and settings, load the image,
// then one Start runs the whole recovery with its progress and questions.
import {html, useCallback, useEffect, useState} from "../lib/preact-htm.js";
import {startPage} from "../common/frame.js";
import {describe, usePolling} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";
import {Ports} from "./ports.js";
import {Addresses} from "./addresses.js";
import {Settings} from "./settings.js";
import {ImagePanel} from "./image.js";
import {RunPanel, isActive, useRun} from "./run.js";

// New and vanished ports show within this.
const PORTS_MS = 2000;

function Recovery() {
    const [ports, setPorts] = useState(/** @type {curtain.PortDetails[] | null} */ (null));
    const [portsError, setPortsError] = useState("");
    const [image, setImage] = useState(/** @type {import("./image.js").Image | null} */ (null));
    const refresh = useCallback(async () => {
        try {
            setPorts(await curtain.portDetails());
            setPortsError("");
        } catch (e) {
            setPortsError(describe(e));
        }
    }, []);
    usePolling(refresh, PORTS_MS);
    const port = ports?.find(p => p.selected);
    const run = useRun(port);
    // A run's start and end change what the ports show: asked at once, not at the next round.
    useEffect(() => void refresh(), [run.phase]);
    const locked = isActive(run.phase) || !!port?.flashing;
    return html`<h1>Recovery of a central unit</h1>
        <div class="recovery">
            <div class="column">
                <${Ports} ports=${ports} error=${portsError} locked=${locked} refresh=${refresh}/>
                <${Addresses} port=${port} locked=${locked}/>
                <${Settings} port=${port} locked=${locked} refresh=${refresh}/>
            </div>
            <div class="column">
                <${ImagePanel} port=${port} image=${image} setImage=${setImage} locked=${locked} refresh=${refresh}/>
                <${RunPanel} run=${run} port=${port} image=${image} setImage=${setImage}/>
            </div>
        </div>`;
}

startPage(Recovery);
