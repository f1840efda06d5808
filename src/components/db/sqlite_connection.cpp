// Placeholder; filled in by its module.
