// placeholder for the Measure operation, replaced as the operations are built
