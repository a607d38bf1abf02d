// The frame of every page: a link past the header, the header that links the three modules and
// shows the server's version, and the one banner that says the server is gone until it is back, or
// that it restarted and lost what it held.
import {html, render, useEffect, useState} from "../lib/preact-htm.js";
import {getText, inControlCentre, onServerState, watchServer} from "./client.js";

const MODULES = [
    {href: "/", label: "Configuration", module: "1"},
    {href: "/updater.html", label: "Updater", module: "2"},
    {href: "/curtain.html", label: "Recovery", module: "3"},
];

/** The module of this page, as "#webModule" says it ("1", "2" or "3"). */
export function currentModule() {
    return document.getElementById("webModule")?.getAttribute("value") || "";
}

function Header() {
    const [version, setVersion] = useState("");
    useEffect(() => {
        getText("/stavenorVersion").then(text => setVersion(text.trim()), () => setVersion(""));
    }, []);
    const module = currentModule();
    return html`<header class="frame-header">
        <nav aria-label="Modules">
            <ul>${MODULES.map(m => html`<li><a href=${m.href} aria-current=${m.module === module ? "page" : undefined}>${m.label}</a></li>`)}</ul>
        </nav>
        <span class="version" aria-label="Server version">${version && "Server " + version}</span>
    </header>`;
}

/** @type {Set<(text: string) => void>} */
const detailListeners = new Set();
let restartDetail = "";

/**
 * What the page's module adds to the notice of a restarted server: what the server holds now and
 * what of the page's work is gone.
 * @param {string} text
 */
export function setRestartDetail(text) {
    restartDetail = text;
    for (const listener of detailListeners) listener(text);
}

function ServerBanner() {
    const [state, setState] = useState({gone: false, restarts: 0});
    const [seen, setSeen] = useState(0);
    const [detail, setDetail] = useState(restartDetail);
    useEffect(() => onServerState(now => setState({gone: now.gone, restarts: now.restarts})), []);
    useEffect(() => {
        detailListeners.add(setDetail);
        return () => { detailListeners.delete(setDetail); };
    }, []);
    // The control centre does not start its server again: only a restart of the control centre does.
    if (state.gone && inControlCentre()) return html`<div class="banner" role="alert">
        The server does not answer, and the control centre does not start it again by itself. Restart the
        control centre (close its window and start it again). What is typed in an open form stays there until
        then, to be noted or copied first. If the server stopped, the changes it held and that were not saved to
        a file are gone.
    </div>`;
    if (state.gone) return html`<div class="banner" role="alert">
        The server does not answer. It is asked again every few seconds; this message goes when it is back.
        What is typed in an open form stays there. If the server stopped, the changes it held and that were not
        saved to a file are gone; this page will say so when it answers again.
    </div>`;
    if (state.restarts === seen) return null;
    return html`<div class="banner restart-banner" role="alert">
        <strong>The server restarted.</strong> What it held before is gone, and what this page showed is read
        from it again. ${detail}
        <button type="button" onClick=${() => setSeen(state.restarts)}>Dismiss</button>
    </div>`;
}

let leaveGuard = () => false;

/** While `guard()` is true, leaving or reloading the page asks first. */
export function setLeaveGuard(/** @type {() => boolean} */ guard) {
    leaveGuard = guard;
}

window.addEventListener("beforeunload", event => {
    if (!leaveGuard()) return;
    event.preventDefault();
    event.returnValue = "";
});

/** The skip link moves the keyboard past the header; the address keeps the module's place. @param {Event} event */
function skipToMain(event) {
    event.preventDefault();
    document.getElementById("main")?.focus();
}

/** Draws the frame with the module's own component in its main area. */
export function startPage(/** @type {any} */ Module) {
    const root = document.getElementById("app");
    if (!root) throw new Error("the page lacks #app");
    watchServer();
    render(html`<a class="skip-link" href="#main" onClick=${skipToMain}>Skip to the page's content</a>
        <${Header}/><${ServerBanner}/><main id="main" tabindex="-1"><${Module}/></main>`, root);
}
