-- No global curves: the scene animates itself.
return {}
