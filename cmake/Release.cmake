# The release zip (target "release"): the exe, img/, the README and the licence.
