float5 Tint;
