// Stands for the installer window's header: a planted include that climbs out of
// its folder reaches it.
