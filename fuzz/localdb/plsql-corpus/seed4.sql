begin
  p3;
end;