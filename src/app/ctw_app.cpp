// Placeholder; filled in by the application module.
