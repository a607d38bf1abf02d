// Lets a test steer the page: when /next.txt says "<step> <url>" with a step that this window
// has not taken yet, the top window goes to that URL.
if (window === window.top) {
    setInterval(async () => {
        try {
            const text = (await (await fetch("/next.txt", { cache: "no-store" })).text()).trim();
            const step = parseInt(text, 10);
            if (!(step > Number(sessionStorage.getItem("step") || 0))) return;
            sessionStorage.setItem("step", String(step));
            window.location.href = text.slice(text.indexOf(" ") + 1);
        } catch (e) {}
    }, 200);
}
