// Shared helpers of the DotA replay site's pages.
var ie = false;
function $(id) { return document.getElementById(id); }
function $C(tag) { return document.createElement(tag); }
function getMousePointer(e) {
    e = e || window.event;
    return { x: e.pageX, y: e.pageY };
}
