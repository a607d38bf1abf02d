const query = new URLSearchParams(location.search);
if (query.get("frame") === "1") {
    query.delete("frame");
    const frame = document.createElement("iframe");
    frame.src = "page.html?" + query.toString();
    document.body.appendChild(frame);
} else {
    if (query.has("module")) {
        const module = document.createElement("input");
        module.type = "hidden";
        module.id = "webModule";
        module.setAttribute("value", query.get("module"));
        document.body.appendChild(module);
    }
    if (query.has("kind")) {
        const form = document.createElement("form");
        form.innerHTML = '<input type="hidden" name="command" value="load_file">'
            + '<input type="hidden" name="fileName" id="fileName">'
            + '<input type="hidden" name="filePath" id="uploadRealPath" value="">'
            + '<input type="file" name="upload" id="upload">';
        if (query.get("kind") !== "none")
            form.insertAdjacentHTML("afterbegin", '<input type="hidden" id="uploadFilter" value="' + query.get("kind") + '">');
        document.body.appendChild(form);
        const upload = document.getElementById("upload");
        upload.addEventListener("change", () => {
            if (!upload.files.length) return;
            document.getElementById("fileName").value = upload.files[0].name;
            // pym writes "#uploadRealPath" beside its answer to the field: let that land first.
            setTimeout(() => fetch("/tuna/configurationFile.json", { method: "POST", body: new FormData(form) }), 300);
        });
    }
    if (query.get("newfile") === "1") fetch("/tuna/configurationFile.json?command=new_file");
}
