// placeholder for the ReadFilters operation, replaced as the operations are built
