"""Pictures of G-maps and rules: PNG, the interactive HTML page, notebooks."""
