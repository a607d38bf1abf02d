// The recovery page: choose the unit's serial port, check the addresses and settings, load the image,
// then one Start runs the whole recovery with its progress and questions.
import {html, useState} from "../lib/preact-htm.js";
import {startPage} from "../common/frame.js";
import {usePortFeed} from "./port_feed.js";
import {Ports} from "./ports.js";
import {Addresses} from "./addresses.js";
import {Settings} from "./settings.js";
import {ImagePanel} from "./image.js";
import {isActive, useRun} from "./run_state.js";
import {RunPanel} from "./run_panel.js";
import {useNetworkStatus} from "../common/network_status.js";
import {TftpNotice, tftpBlock} from "./tftp_notice.js";

function Recovery() {
    const feed = usePortFeed();
    const [image, setImage] = useState(/** @type {import("./image.js").Image | null} */ (null));
    const [sending, setSending] = useState(/** @type {import("./image.js").Image | null} */ (null));
    const port = feed.ports?.find(p => p.selected);
    const run = useRun(port, feed);
    const locked = isActive(run.phase) || !!port?.flashing || !!sending;
    const blocked = tftpBlock(useNetworkStatus());
    return html`<h1>Recovery of a central unit</h1>
        <${TftpNotice} block=${blocked}/>
        <div class="recovery">
            <div class="column">
                <${Ports} ports=${feed.ports} error=${feed.error} locked=${locked} change=${feed.change}/>
                <${Addresses} port=${port} locked=${locked} feed=${feed}/>
                <${Settings} port=${port} locked=${locked} change=${feed.change}/>
            </div>
            <div class="column">
                <${ImagePanel} port=${port} image=${image} setImage=${setImage} sending=${sending} setSending=${setSending}
                    locked=${locked} change=${feed.change}/>
                <${RunPanel} run=${run} port=${port} image=${image} setImage=${setImage} sending=${!!sending}
                    feed=${feed} blocked=${blocked}/>
            </div>
        </div>`;
}

startPage(Recovery);
