// The frame of every page: the header that links the three modules and shows the server's
// version, and the one banner that says the server is gone until it is back.
import {html, render, useEffect, useState} from "../lib/preact-htm.js";
import {getText, onServerState} from "./client.js";

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

function ServerBanner() {
    const [gone, setGone] = useState(false);
    useEffect(() => onServerState(setGone), []);
    if (!gone) return null;
    return html`<div class="banner" role="alert">
        The server does not answer. It is asked again every few seconds; this message goes when it is back.
        Nothing you entered on this page is lost.
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

/** Draws the frame with the module's own component in its main area. */
export function startPage(/** @type {any} */ Module) {
    const root = document.getElementById("app");
    if (!root) throw new Error("the page lacks #app");
    render(html`<${Header}/><${ServerBanner}/><main id="main"><${Module}/></main>`, root);
}
