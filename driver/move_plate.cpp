// placeholder for the MovePlate operation, replaced as the operations are built
