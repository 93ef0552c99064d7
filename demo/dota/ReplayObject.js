// One player of a DotA replay as the replay pages keep it.
function DotaPlayer(id, gid) {
    this.id = id;          // element id of the player's data
    this.gid = gid;        // game id (slot)
    this.name = "";
    this.team = 1;
    this.heroid = "";
    this.heroname = "";
    this.herodes = "";
    this.apmmax = 0;
    this.apmavg = 0;
    this.apmmin = 0;
    this.color = "";
    this.actions = [];
    this.location = "";
    this.zone = "";
    this.lasthits = 0;
    this.denies = 0;
    this.kills = 0;
    this.deaths = 0;
    this.assists = null;   // null: the replay does not know them
    this.heroes = [];
    this.skills = [];
    this.items = [];
    this.builds = [];
    this.units = [];
    this.enditem = null;
    this.money = 0;
    this.level = 0;
    this.block = null;
    this.panel = null;
}
