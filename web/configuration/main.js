// The configuration module: the file in use above, the place that the address names below.
import {html, useEffect, useMemo, useRef, useState} from "../lib/preact-htm.js";
import {startPage} from "../common/frame.js";
import {ErrorText, useCommand} from "../common/ui.js";
import * as tuna from "../common/api/tuna.js";
import {FileBar} from "./file.js";
import {Overview} from "./overview.js";
import {useRoute} from "./router.js";
import {Session, SessionContext} from "./state.js";
import {Validation} from "./validate.js";
import {AllTables, LazyView, RowView, SingleView, TableView} from "./views.js";

/**
 * After a move to another place, the keyboard starts at its heading, not at a control now gone. A
 * place that reads the store before it draws (a one-row form) has its heading a moment later; the
 * keyboard goes there then, unless the user has moved it meanwhile.
 */
function useFocusOnMove(/** @type {string} */ where) {
    const first = useRef(true);
    useEffect(() => {
        if (first.current) {
            first.current = false;
            return;
        }
        const place = document.querySelector(".place");
        if (!place) return;
        const left = document.activeElement;
        const toHeading = () => {
            const heading = /** @type {HTMLElement | null} */ (place.querySelector("h1"));
            if (!heading) return false;
            const now = document.activeElement;
            if (!now || now === document.body || now === left) {
                heading.tabIndex = -1;
                heading.focus();
            }
            return true;
        };
        const observer = new MutationObserver(() => { if (toHeading()) observer.disconnect(); });
        const frame = requestAnimationFrame(() => {
            if (!toHeading()) observer.observe(place, {childList: true, subtree: true});
        });
        return () => {
            cancelAnimationFrame(frame);
            observer.disconnect();
        };
    }, [where]);
}

function Place() {
    const {parts, params} = useRoute();
    const [where, name, id] = parts;
    useFocusOnMove(location.hash.split("?")[0]);
    switch (where) {
        case undefined: return html`<${Overview}/>`;
        case "table": return html`<${TableView} name=${name} filters=${params}/>`;
        case "row": return html`<${RowView} name=${name} id=${id} params=${params}/>`;
        case "form": return html`<${SingleView} name=${name}/>`;
        case "tables": return html`<${AllTables}/>`;
        case "validate": return html`<${Validation}/>`;
        case "announcements": case "translations": case "icons": return html`<${LazyView} which=${where}/>`;
        default: return html`<${ErrorText} message=${`Nothing is found at "${location.hash}". Go back to the overview.`}/>`;
    }
}

function Tools() {
    const command = useCommand();
    return html`<nav class="module-tools" aria-label="Configuration">
        <a href="#/">Overview</a>
        <a href="#/tables">All tables</a>
        <a href="#/validate">Validate</a>
        <button type="button" class="link" onClick=${() => command.run(() => tuna.exportSipPhonebook())}>SIP phone book</button>
        <${ErrorText} message=${command.error}/>
    </nav>`;
}

function Module() {
    const [, setDraws] = useState(0);
    const session = useMemo(() => new Session(() => setDraws(n => n + 1)), []);
    const start = useCommand();
    useEffect(() => { start.run(() => Promise.all([session.readName(), session.refresh()])); }, []);
    return html`<${SessionContext.Provider} value=${session}>
        <${FileBar}/>
        <${ErrorText} message=${start.error && `The configuration's name could not be read: ${start.error}`}/>
        <${Tools}/>
        <div class="place"><${Place}/></div>
    </${SessionContext.Provider}>`;
}

startPage(Module);
