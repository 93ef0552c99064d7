// Item recipes: when the last part of a recipe is bought, the parts turn into
// the finished item.
var dotarecipes = [
    { id: "I010", title: "动力鞋", parts: ["I004", "I001"] },
    { id: "I011", title: "魔杖", parts: ["I002", "I003"] },
    { id: "I012", title: "黯灭", parts: ["I006", "I007"] }
];

// `items` holds the player's items so far, the one just bought (`id`) last.
// Gives the finished item when `id` completes a recipe, else null.
function checkdotaitem(items, id) {
    for (var r = 0; r < dotarecipes.length; r++) {
        var recipe = dotarecipes[r];
        if (recipe.parts.indexOf(id) < 0) continue;
        var found = [];
        for (var p = 0; p < recipe.parts.length; p++) {
            for (var i = items.length - 1; i >= 0; i--) {
                var it = items[i];
                if (!it.used && it.id == recipe.parts[p] && found.indexOf(it) < 0) { found.push(it); break; }
            }
        }
        if (found.length != recipe.parts.length) continue;
        for (var f = 0; f < found.length; f++) found[f].used = true;
        var last = items[items.length - 1];
        return { id: recipe.id, title: recipe.title, time: last ? last.time : "", cost: 0, used: false };
    }
    return null;
}

// The items the player ends up holding: parts that went into a finished item left out.
function rebuilditem(items) {
    var out = [];
    for (var i = 0; i < items.length; i++) if (!items[i].used) out.push(items[i]);
    return out;
}
