// Where the site keeps its pictures: hero, skill and item pictures are
// prefix + id + ".gif".
var Uimage = "/images/hero/";
var Simage = "/images/skill/";
var Iimage = "/images/item/";
