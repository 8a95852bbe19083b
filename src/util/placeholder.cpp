// Removed once the subsystem has sources of its own.
